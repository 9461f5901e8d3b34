// SPDX-License-Identifier: MIT
// tarvex-cli process: the Process command's file work on each netlist named.
#include "cli_common.h"
#include "commands.h"

#include "files/paths.h"
#include "process/process.h"

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
// others still run. Bounds and Keys are checked once, and no netlist's files may be the settings
// file or the report, before any file is touched.
int RunProcess(const ProcessOptions& options) {
    const Result<std::vector<RewriteRules>> families = LoadRules(options.rules);
    if (!families) {
        PrintError(families.error());
        return kExitError;
    }
    const std::vector<std::string> netlists = Distinct(options.netlists);
    const Result<std::vector<RunFile>> files = CollectRunFiles(options.rules.settings, netlists);
    if (!files) {
        PrintError(files.error());
        return kExitError;
    }
    Report report;
    report.setFamilies(*families);
    report.setSizeRule(options.rules.sizes.rule);
    if (const Result<void> opened = OpenReport(report, options.rules.report, *files); !opened) {
        PrintError(opened.error());
        return kExitError;
    }

    const ProcessSafety safety = SafetyOf(options.rules);
    int status = kExitOk;
    std::uint64_t readAsSpice = 0;
    for (const std::string& netlist : netlists) {
        if (const Result<void> plannable = CheckPlannable(netlist); !plannable) {
            PrintError(plannable.error());
            status = kExitError;
            continue;
        }
        const ProcessOutcome outcome =
            ProcessNetlist(PathFromText(netlist), *families,
                           WatchDevices(netlist, report, options.rules, *families), safety);
        for (const std::string& note : outcome.notes) {
            PrintError(note);
        }
        readAsSpice += outcome.report.devicesReadAsSpice;
        if (outcome.error) {
            PrintError(*outcome.error);
            status = kExitError;
        } else if (outcome.noKey) {
            PrintError("Warning: " + *outcome.noKey);
            status = status == kExitOk ? kExitKept : status;
        } else if (outcome.report.devicesKept() > 0 && status == kExitOk) {
            status = kExitKept;
        }
    }
    PrintSpiceHint(readAsSpice);
    if (const Result<void> closed = report.close(); !closed) {
        PrintError(closed.error());
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
