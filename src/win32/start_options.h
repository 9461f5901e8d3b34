// SPDX-License-Identifier: MIT
// tarvex.exe's command line: an optional settings file to open (how Explorer's "Open with" starts
// it), --help and --version.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace tarvex::win32 {

struct StartOptions {
    enum class Action { Run, Help, Version, UsageError };
    Action action = Action::Run;
    std::optional<std::filesystem::path> settingsFile; // opened instead of the remembered one
    std::wstring text;                                 // what Help, Version or UsageError show
};

// Reads the arguments that follow the program's name.
StartOptions ParseStartOptions(const std::vector<std::wstring>& arguments);

// The arguments of this process after the program's name, from its wide command line.
std::vector<std::wstring> CommandLineArguments();

} // namespace tarvex::win32
