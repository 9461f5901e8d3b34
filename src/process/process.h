// SPDX-License-Identifier: MIT
// The Process command's file work: move the chosen netlist aside as the ".ant" backup and
// regenerate the ".net" from it, without ever losing a version of a file the user wrote.
#pragma once

#include "bins/bin_table.h"
#include "files/file_stamp.h"
#include "rewrite/netlist_rewrite.h"
#include "text/result.h"

#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tarvex {

// The checks made before any file is touched, each refusing rules that would garble the netlist
// while the run reports success: the bounds of both tables, N first (BoundsRefusal); an empty or blank
// Key (it would match every line); Keys that are equal or contain one another (a device of one
// polarity would be binned with the other's table, or a Key cut in half); a part name holding a
// space, a tab, a line end or another control byte (it would split the device line or add a node).
// The texts name MODxyN and MODxyP whatever the Keys are.
Result<void> CheckRules(const RewriteRules& rules);

// The refusal of a table's bad bounds: "Bad w value 5e-07!" and, on a line of its own, which
// table and bound ("MODxyP table, width bound 2.").
std::string BoundsRefusal(const BoundFault& fault, std::string_view tableName);

// CheckRules for each family of a run, then the Keys across families: one family's Key equal to,
// or holding, another family's would bin a device with the wrong table.
Result<void> CheckRules(std::span<const RewriteRules> families);

struct ProcessPlan {
    std::filesystem::path chosen; // the chosen name as the system opens it (on Windows without
                                  // trailing dots and spaces)
    std::filesystem::path backup; // where the chosen netlist is moved, unless it is the backup already
    std::filesystem::path source; // the file read: the backup, or the chosen file if it is one
    std::filesystem::path target; // the file written: the ".net" form of the name
    bool moveAside = false;       // true when the chosen file must first be renamed to backup
};

// Works out the three names for a chosen path; fails for a name without an extension ("Input file
// cannot have .OUT extension!"). A chosen ".ant" in any letter case is the backup itself.
Result<ProcessPlan> PlanProcess(const std::filesystem::path& chosen);

// A file Process would replace although it cannot tell it from its own output: it may hold the
// user's work (an edit, a new export). Going on keeps it as a numbered backup.
struct Doubt {
    std::string reason;          // what the file may be, and what processing would do to it
    std::filesystem::path file;  // the file that would be replaced
    std::filesystem::path keepAs; // the numbered backup it is kept as when the user goes on
};

// The question a window asks about a doubt ("... Process anyway, keeping it as amp.net.~1~?").
std::string DoubtQuestion(const Doubt& doubt);
// The refusal of a run that may not ask: the reason, the option that goes on, and that nothing
// was changed.
std::string DoubtRefusal(const Doubt& doubt, std::string_view option);

// What a run may rely on beyond its own files, and how it learns the user's will.
struct ProcessSafety {
    // The user's state folder (UserStateFolder()): the record of the files Tarvex wrote and the run
    // locks live there. Empty: no record, so every existing file counts as the user's, and no lock.
    std::filesystem::path stateFolder;
    // Asked about a doubt before any file is touched; true goes on, keeping the file as a numbered
    // backup. None: the run is refused with DoubtRefusal(doubt, refusalOption).
    std::function<bool(const Doubt&)> goOn;
    std::string refusalOption = "--backup";
    // How long a run waits while another run holds the netlist.
    std::chrono::milliseconds lockWait{2000};
};

// What the checks decided about the files around the chosen netlist; made before any file is
// touched and acted on by ProcessNetlist (a dry run stops after it).
struct ProcessDecision {
    ProcessPlan plan;
    std::optional<Doubt> doubt;         // it may go on only if the user says so
    bool keepBackup = false;            // the existing backup is kept as a numbered backup first
    bool keepTarget = false;            // the existing ".net" is kept as a numbered backup at the end
    std::optional<FileStamp> backupStamp; // the backup as checked, when it is to be replaced
    std::optional<FileStamp> targetStamp; // the ".net" as checked, when it is to be replaced
    std::vector<std::string> keys;        // every family's Keys, for the record
};

// Every refusal Process makes before it touches a file, so that a dry run refuses alike: CheckRules;
// PlanProcess; a numbered backup chosen; a netlist that does not exist; a folder, pipe or device
// where a netlist or its backup would be; a link to the file that processing would replace, or a
// chosen file whose ".net" is another, existing file; a ".net" and ".ant" that are one file; a file
// that cannot be read. Then which existing files may be replaced: Tarvex's own unedited output
// (known from the records in safety.stateFolder) and a backup that a newer export supersedes may
// go; a netlist that holds no Key is not moved over a backup; anything Tarvex cannot tell from the
// user's work is a doubt. A refusal is a failure: the run must not go on, and nothing was changed.
Result<ProcessDecision> DecideProcess(const std::filesystem::path& chosen,
                                      std::span<const RewriteRules> families, const ProcessSafety& safety);

struct ProcessOutcome {
    // Set when the run stopped early or was refused; the text to show the user. Every file the
    // user had is then intact under its own name, as the backup, or as a numbered backup that the
    // message names. Also set when a run cancelled after the move aside, to say where the netlist is.
    std::optional<std::string> error;
    // Stopped by StreamOptions::onProgress; no ".net" was written. A ".net" from an earlier run stays
    // when the backup was chosen; after a move aside there is no ".net" any more, only the backup.
    bool cancelled = false;
    // The user chose not to go on at a doubt; nothing was changed.
    bool declined = false;
    // The run completed, but no line of the netlist held a Key: nothing was binned.
    std::optional<std::string> noKey;
    // Files kept as numbered backups by a completed run, one sentence each.
    std::vector<std::string> notes;
    ProcessPlan plan;
    RunReport report;

    bool completed() const { return !error && !cancelled && !declined; }
};

// Runs Process on the chosen netlist with every family: under the netlist's run lock, the
// decision of DecideProcess (asking safety.goOn about a doubt), then moves it aside to the ".ant"
// backup, then writes the ".net" through a ReplacementFile that takes the place of the target only
// once complete, with the permissions of the file it replaces, so a failure or a crash never leaves
// a half-written netlist and never touches the backup. A netlist that changed while it was read
// gives no output; a ".net" that appeared or changed during the run is kept, and the output goes to
// a numbered backup beside it. A chosen name that no longer exists while its backup does (what a
// run killed after the move aside leaves) is regenerated from the backup. Devices that keep their
// Key do not stop the run; they are counted in the report and passed to options.onDevice.
ProcessOutcome ProcessNetlist(const std::filesystem::path& chosen, std::span<const RewriteRules> families,
                              const StreamOptions& options = {}, const ProcessSafety& safety = {});
ProcessOutcome ProcessNetlist(const std::filesystem::path& chosen, const RewriteRules& rules,
                              const StreamOptions& options = {}, const ProcessSafety& safety = {});

// "No line of <file> holds a Key (MODxyN, MODxyP): nothing was binned." with the run's Keys.
std::string NoKeyMessage(const std::filesystem::path& file, std::span<const RewriteRules> families);

} // namespace tarvex
