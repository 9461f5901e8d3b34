// SPDX-License-Identifier: MIT
// The window's command line: an optional settings file to open, --help and --version.
#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace tarvex::ui {

struct StartOptions {
    enum class Action { Run, Help, Version, UsageError };
    Action action = Action::Run;
    std::optional<QString> settingsFile; // the FILE.amd to open instead of the remembered one
    QString text;                        // what Help, Version or UsageError print
};

// Reads the arguments (the program's name first). --help and --version are answered before the
// window is built, so they also work without a display.
StartOptions ParseStartOptions(const QStringList& arguments);

} // namespace tarvex::ui
