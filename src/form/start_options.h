// SPDX-License-Identifier: MIT
// The window's command line, the same in every front-end: an optional settings file to open (how
// a file manager's "Open with" starts it), --help and --version.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarvex::form {

struct StartOptions {
    enum class Action { Run, Help, Version, UsageError };
    Action action = Action::Run;
    std::optional<std::string> settingsFile; // the FILE.amd to open instead of the remembered one
    std::string text;                        // what Help, Version or UsageError tell the user
};

// Reads the arguments that follow the program's name. version is the program's version number.
StartOptions ParseStartOptions(const std::vector<std::string>& arguments, std::string_view version);

} // namespace tarvex::form
