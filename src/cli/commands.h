// SPDX-License-Identifier: MIT
// The subcommands of tarvex-cli. Each Add...Command registers one subcommand with its options on
// app; when that subcommand is chosen, parsing runs it and stores its exit status in exitCode.
// A new subcommand is one more file with one more function here and one call in main.cpp.
#pragma once

namespace CLI {
class App;
}

namespace tarvex::cli {

void AddCheckCommand(CLI::App& app, int& exitCode);
void AddImportCommand(CLI::App& app, int& exitCode);
void AddProbeCommand(CLI::App& app, int& exitCode);
void AddProcessCommand(CLI::App& app, int& exitCode);
void AddRewriteCommand(CLI::App& app, int& exitCode);
void AddShowCommand(CLI::App& app, int& exitCode);

} // namespace tarvex::cli
