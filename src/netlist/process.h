// SPDX-License-Identifier: MIT
// The Process command's file work: move the chosen netlist aside as the ".ant" backup and
// regenerate the ".net" from it.
#pragma once

#include "netlist/netlist_rewrite.h"

#include <filesystem>
#include <optional>
#include <string>

namespace tarvex {

// The checks made before any file is touched, each refusing rules that would garble the netlist
// while the run reports success: the N-channel bounds ("Bad w value %g!", ...); an empty or blank
// Key (it would match every line); Keys that are equal or contain one another (a device of one
// polarity would be binned with the other's table, or a Key cut in half); a part name holding a
// space, a tab, a line end or another control byte (it would split the device line or add a node).
// The texts name MODxyN and MODxyP whatever the Keys are. Nothing when all is well.
std::optional<std::string> CheckRules(const RewriteRules& rules);

struct ProcessPlan {
    std::filesystem::path chosen; // the chosen name as the system opens it (on Windows without
                                  // trailing dots and spaces)
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

// Every refusal Process makes before it touches a file, so that a dry run refuses alike: CheckRules;
// PlanProcess; a folder, pipe or device where a netlist or its backup would be; a link to the file
// that processing would replace, or a chosen file whose ".net" is another, existing file; a ".net"
// and ".ant" that are one file; a chosen file that cannot be read; a chosen netlist that is a binned
// copy of its existing backup (moving it aside would replace the only copy of the placeholders);
// a chosen backup whose existing ".net" is not a binned copy of it (regenerating would lose it).
PlanResult PrepareProcess(const std::filesystem::path& chosen, const RewriteRules& rules);

struct ProcessOutcome {
    // Set when the run stopped early or was refused; the text to show the user. The original
    // netlist is then intact under its own name or as the backup. Also set when a run cancelled
    // after the move aside, to say where the netlist is.
    std::optional<std::string> error;
    // Stopped by StreamOptions::onProgress; no ".net" was written. A ".net" from an earlier run stays
    // when the backup was chosen; after a move aside there is no ".net" any more, only the backup.
    bool cancelled = false;
    ProcessPlan plan;
    RunReport report;

    bool completed() const { return !error && !cancelled; }
};

// Runs Process on the chosen netlist: the refusals of PrepareProcess, then moves it aside to the
// ".ant" backup (replacing an older backup), then writes the ".net" through a ReplacementFile that
// takes the place of the target only once complete, with the permissions of the file it replaces, so
// a failure or a crash never leaves a half-written netlist and never touches the backup. A chosen
// name that no longer exists while its backup does (what a run killed after the move aside leaves)
// is regenerated from the backup. Devices that keep their Key do not stop the run; they are counted
// in the report and passed to options.onDevice.
ProcessOutcome ProcessNetlist(const std::filesystem::path& chosen, const RewriteRules& rules,
                              const StreamOptions& options = {});

} // namespace tarvex
