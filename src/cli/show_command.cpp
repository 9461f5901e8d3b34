// SPDX-License-Identifier: MIT
// tarvex-cli show: both tables of a settings file as grids like the window's, with their Keys.
#include "cli_common.h"
#include "commands.h"
#include "table_grid.h"

#include "files/paths.h"
#include "settings/settings_file.h"

#include <CLI/CLI.hpp>

#include <memory>
#include <string>

namespace tarvex::cli {
namespace {

int RunShow(const std::string& path) {
    const Result<LoadedSettings> loaded = ReadSettingsFile(PathFromText(path));
    if (!loaded) {
        PrintError(loaded.error());
        return kExitError;
    }
    const std::string text = DrawSettings(loaded->settings);
    if (const std::error_code error = WriteAndFlush(stdout, text)) {
        PrintError("Error: Cannot write standard output: " + ErrorText(error) + ".");
        return kExitError;
    }
    return kExitOk;
}

} // namespace

void AddShowCommand(CLI::App& app, int& exitCode) {
    auto path = std::make_shared<std::string>();
    CLI::App* command = app.add_subcommand("show", "Print both tables and Keys of a settings file");
    command->add_option("FILE.amd", *path, "Settings file to show")->required();
    command->callback([path, &exitCode] { exitCode = RunShow(*path); });
}

} // namespace tarvex::cli
