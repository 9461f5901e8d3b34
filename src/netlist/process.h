// SPDX-License-Identifier: MIT
// The Process command's file work: move the chosen netlist aside as the ".ant" backup and
// regenerate the ".net" from it.
#pragma once

#include "netlist/netlist_rewrite.h"

#include <filesystem>
#include <optional>
#include <string>

namespace tarvex {

// The checks made before any file is touched: the N-channel bounds ("Bad w value %g!", ...), then
// empty Keys ("Error: Empty MODxyN key!", which would match every line). Nothing when all is well.
std::optional<std::string> CheckRules(const RewriteRules& rules);

struct ProcessPlan {
    std::filesystem::path backup; // where the chosen netlist is moved, unless it is the backup already
    std::filesystem::path source; // the file read: the backup, or the chosen file if it is one
    std::filesystem::path target; // the file written: the ".net" form of the name
    bool moveAside = false;       // true when the chosen file must first be renamed to backup
};

// Works out the three names for a chosen path, or the message for a name without an extension
// ("Input file cannot have .OUT extension!"). A chosen ".ant" in any letter case is the backup itself.
struct PlanResult {
    std::optional<ProcessPlan> plan;
    std::string error;
};
PlanResult PlanProcess(const std::filesystem::path& chosen);

struct ProcessOutcome {
    // Set when the run stopped early; the text to show the user. The original netlist is then
    // intact under its own name or as the backup.
    std::optional<std::string> error;
    bool cancelled = false; // stopped by StreamOptions::onProgress; the ".net" was left as it was
    ProcessPlan plan;
    RunReport report;

    bool completed() const { return !error && !cancelled; }
};

// Runs Process on the chosen netlist: checks, moves it aside to the ".ant" backup (replacing an
// older backup), then writes the ".net" through a temporary file in the same folder that replaces
// the target only once complete, so a failure or a crash never leaves a half-written netlist and
// never touches the backup. A chosen name that no longer exists while its backup does (what a run
// killed after the move aside leaves) is regenerated from the backup. Devices that keep their Key
// do not stop the run; they are counted in the report and passed to options.onDevice.
ProcessOutcome ProcessNetlist(const std::filesystem::path& chosen, const RewriteRules& rules,
                              const StreamOptions& options = {});

} // namespace tarvex
