// SPDX-License-Identifier: MIT
// tarvex-cli process: the Process command's file work on each netlist named.
#include "cli_common.h"
#include "commands.h"

#include "files/paths.h"
#include "netlist/process.h"

#include <CLI/CLI.hpp>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace tarvex::cli {
namespace {

struct ProcessOptions {
    RuleOptions rules;
    std::vector<std::string> netlists;
};

// Each netlist is processed on its own: an error stops that netlist's run and is reported, and the
// others still run. Bounds and Keys are checked once, before any file is touched.
int RunProcess(const ProcessOptions& options) {
    const RulesResult loaded = LoadRules(options.rules);
    if (!loaded.rules) {
        PrintError(loaded.error);
        return kExitError;
    }
    if (const auto problem = CheckRules(*loaded.rules)) {
        PrintError(*problem);
        return kExitError;
    }
    std::vector<std::filesystem::path> files;
    for (const std::string& netlist : options.netlists) {
        const std::filesystem::path path = PathFromText(netlist);
        files.insert(files.end(), {path, ChangeExtension(path, ".ant"), ChangeExtension(path, ".net")});
    }
    if (const auto clash = CheckReportPath(options.rules.report, files)) {
        PrintError(*clash);
        return kExitError;
    }
    Report report;
    if (options.rules.report) {
        if (const auto error = report.open(*options.rules.report)) {
            PrintError(*error);
            return kExitError;
        }
    }

    int status = kExitOk;
    for (const std::string& netlist : options.netlists) {
        const ProcessOutcome outcome = ProcessNetlist(PathFromText(netlist), *loaded.rules, WatchDevices(netlist, report));
        if (outcome.error) {
            PrintError(*outcome.error);
            status = kExitError;
        } else if (outcome.report.devicesKept() > 0 && status == kExitOk) {
            status = kExitKept;
        }
    }
    if (const auto error = report.close()) {
        PrintError(*error);
        status = kExitError;
    }
    return status;
}

} // namespace

void AddProcessCommand(CLI::App& app, int& exitCode) {
    auto options = std::make_shared<ProcessOptions>();
    CLI::App* command = app.add_subcommand(
        "process", "Move each NETLIST aside as its .ant backup and write the .net from it with binned part "
                   "names (choosing the .ant regenerates the .net only)");
    AddRuleOptions(*command, options->rules);
    command->add_option("NETLIST", options->netlists, "Netlist files to process")->required();
    command->callback([options, &exitCode] { exitCode = RunProcess(*options); });
}

} // namespace tarvex::cli
