// SPDX-License-Identifier: MIT
// tarvex-cli probe: shows what the window's Process dialog would offer from the simulator's title.
#include "cli_common.h"
#include "commands.h"

#include "simlink/simulator_probe.h"

#include <CLI/CLI.hpp>

#include <cstdio>
#include <string>

namespace tarvex::cli {

void AddProbeCommand(CLI::App& app, int& exitCode) {
    CLI::App* probe = app.add_subcommand(
        "probe", "Print the netlist name and the folder taken from the simulator's message viewer title\n"
                 "(one per line; an empty folder line when the title names none). Exit 1 when no\n"
                 "simulator window is found.");
    probe->callback([&exitCode] {
        const ProbeResult result = ProbeSimulatorWindow();
        if (!result.found()) {
            PrintError(result.title.error());
            exitCode = kExitError;
            return;
        }
        std::printf("%s\n%s\n", result.hint.netlistName.c_str(), result.hint.folder.value_or("").c_str());
        exitCode = std::fflush(stdout) == 0 ? kExitOk : kExitError;
    });
}

} // namespace tarvex::cli
