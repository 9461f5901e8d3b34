// SPDX-License-Identifier: MIT
#include "process/process.h"

#include "files/byte_stream.h"
#include "files/paths.h"
#include "files/file_moves.h"
#include "files/file_stamp.h"
#include "process/binned_copy.h"
#include "process/output_records.h"
#include "process/replacing_write.h"
#include "rewrite/reader_rewrite.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <system_error>
#include <vector>

namespace tarvex {
namespace {

namespace fs = std::filesystem;

constexpr const char* kUnchanged = " No file was changed.";

std::string KeptNote(const ProcessPlan& plan) {
    return " The original netlist is kept as " + QuotedPath(plan.source) + ".";
}

bool IsBlank(std::string_view key) {
    return key.find_first_not_of(" \t\r\n\v\f") == std::string_view::npos;
}

// What in a part name would break the device line it is written into, or nothing.
const char* LineBreaker(std::string_view name) {
    for (const char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte == ' ') {
            return "a space";
        }
        if (byte == '\t') {
            return "a tab";
        }
        if (byte == '\n' || byte == '\r') {
            return "a line end";
        }
        if (byte < 0x20 || byte == 0x7F) {
            return "a control character";
        }
    }
    return nullptr;
}

// Cells are named as the grid shows them: columns are width bins, rows length bins, from 1.
Result<void> CheckPartNames(const BinTable& table, const std::string& label) {
    for (int row = 0; row < kBinCount; ++row) {
        for (int column = 0; column < kBinCount; ++column) {
            if (const char* breaker = LineBreaker(PartName(table, column, row))) {
                return Fail("Error: " + label + " part name in column " + std::to_string(column + 1) +
                            ", row " + std::to_string(row + 1) + " holds " + breaker + "!");
            }
        }
    }
    return {};
}

bool Exists(const fs::path& path) {
    std::error_code ignored;
    return fs::exists(fs::symlink_status(path, ignored));
}

// Where path puts its file once the folders on the way are resolved; its own name is not followed.
fs::path PlaceOf(const fs::path& path) {
    std::error_code ignored;
    const fs::path folder = path.has_parent_path() ? path.parent_path() : fs::path(".");
    return fs::weakly_canonical(folder, ignored) / path.filename();
}

// The refusals that keep the move aside and the final rename from destroying a file the user did
// not mean to replace; made before any file is touched.
Result<void> CheckNothingIsLost(const fs::path& chosen, const ProcessPlan& plan) {
    std::error_code error;
    const bool chosenIsLink = fs::is_symlink(fs::symlink_status(chosen, error));
    // A link moved aside still points where it did: at the ".net" that the run replaces, or at the
    // backup it is renamed over (and then at itself). Either way the netlist would be gone.
    // A dangling link cannot be read and is refused later, before anything is moved.
    if (chosenIsLink) {
        const fs::path resolved = fs::canonical(chosen, error);
        for (const fs::path* replaced : {&plan.target, &plan.backup}) {
            if (!error && resolved == PlaceOf(*replaced)) {
                return Fail("Error: " + QuotedPath(chosen) + " is a link to " + QuotedPath(*replaced) +
                            ", which processing it would replace. Choose the file itself." + kUnchanged);
            }
        }
    }
    // "amp.cir", or "x.NET" beside a separate "x.net": the ".net" written is not the file chosen. A
    // hard link or another spelling of the chosen file itself is fine: only its name is replaced.
    const bool targetIsChosen =
        chosen.native() == plan.target.native() || (!chosenIsLink && SameFile(chosen, plan.target));
    if (!targetIsChosen && Exists(plan.target)) {
        return Fail("Error: Processing " + QuotedPath(chosen) + " would replace " + QuotedPath(plan.target) +
                    ", another file. Choose " + QuotedPath(plan.target) + " itself, or rename one of them." +
                    kUnchanged);
    }
    return {};
}

// A pipe, a device or a socket would block the run or lose what it streams; only regular files (and
// folders, refused on their own) are netlists. A missing file is no fault here.
Result<void> CheckFileKind(const fs::path& path) {
    std::error_code error;
    const fs::file_status status = fs::status(path, error);
    if (error || !fs::exists(status) || fs::is_regular_file(status)) {
        return {};
    }
    if (fs::is_directory(status)) {
        return Fail("Error: " + QuotedPath(path) + " is a folder, not a netlist." + kUnchanged);
    }
    return Fail("Error: " + QuotedPath(path) +
                " is not a regular file (a pipe, a device or a socket), not a netlist." + kUnchanged);
}

Failure CannotRead(const fs::path& path, const std::error_code& error) {
    return Fail("Error: Cannot read " + QuotedPath(path) + ": " + ErrorText(error) + "." + kUnchanged);
}

// Opens path for the comparison: the open file, none when there is no such file, and a failure when
// it exists but cannot be read.
Result<FilePtr> OpenToCompare(const fs::path& path) {
    std::error_code error;
    FilePtr file = OpenFile(path, "r", error);
    if (!file && Exists(path)) {
        return CannotRead(path, error ? error : std::error_code(EIO, std::generic_category()));
    }
    return file;
}

// Every Key of the run, family by family, N before P.
std::vector<std::string> KeysOf(std::span<const RewriteRules> families) {
    std::vector<std::string> keys;
    for (const RewriteRules& rules : families) {
        keys.push_back(rules.keyN);
        keys.push_back(rules.keyP);
    }
    return keys;
}

std::string KeyList(const std::vector<std::string>& keys) {
    std::string list;
    for (const std::string& key : keys) {
        list += (list.empty() ? "" : ", ") + key;
    }
    return list;
}

// The Keys of an earlier run that this run does not bin.
std::vector<std::string> KeysNotBinned(const std::vector<std::string>& earlier, const std::vector<std::string>& now) {
    std::vector<std::string> missing;
    for (const std::string& key : earlier) {
        if (std::find(now.begin(), now.end(), key) == now.end()) {
            missing.push_back(key);
        }
    }
    return missing;
}

bool IsRegular(const fs::path& path) {
    std::error_code ignored;
    return fs::is_regular_file(path, ignored);
}

// What the records and the files' stamps say about the two files around the chosen netlist.
struct Knowledge {
    std::optional<OutputRecord> record;
    std::optional<FileStamp> backup;
    std::optional<FileStamp> target;
    bool targetIsOurs = false; // the ".net" is exactly what Tarvex wrote last
    bool backupIsOurs = false; // the ".ant" is exactly what Tarvex last moved aside or binned from
};

Knowledge Inspect(const ProcessPlan& plan, const OutputRecords& records) {
    Knowledge known;
    known.record = records.find(plan.target);
    known.backup = StampOf(plan.backup);
    known.target = StampOf(plan.target);
    if (known.record) {
        known.targetIsOurs = known.target && *known.target == known.record->written;
        known.backupIsOurs = known.backup && known.record->source && *known.backup == *known.record->source;
    }
    return known;
}

// Both netlists compared to their ends; fails when one cannot be read.
Result<NetlistComparison> Compare(const fs::path& ant, const fs::path& net,
                                  std::span<const RewriteRules> families) {
    Result<FilePtr> antFile = OpenToCompare(ant);
    if (!antFile) {
        return Fail(antFile.error());
    }
    Result<FilePtr> netFile = OpenToCompare(net);
    if (!netFile) {
        return Fail(netFile.error());
    }
    if (!*antFile || !*netFile) {
        return CannotRead(*antFile ? net : ant, std::make_error_code(std::errc::no_such_file_or_directory));
    }
    FileReader antReader(antFile->get());
    FileReader netReader(netFile->get());
    NetlistComparison compared = CompareNetlists(antReader, netReader, families);
    if (compared.error) {
        return CannotRead(compared.errorInNet ? net : ant, compared.error);
    }
    return compared;
}

// The chosen netlist goes aside over an existing backup: only an identical backup, or one that
// Tarvex moved aside itself and that a newer export (no line of it binned) supersedes, goes without
// a trace. A netlist with no Key is not moved at all; one with binned lines may be Tarvex's output
// or an edit of it, and the backup may then be the only copy of the placeholders: a doubt.
Result<void> DecideMoveAside(ProcessDecision& decision, const Knowledge& known,
                             std::span<const RewriteRules> families) {
    const ProcessPlan& plan = decision.plan;
    if (!Exists(plan.backup)) {
        return {};
    }
    if (!known.backup) {
        // A link to nothing, or no file Tarvex can look into: kept aside, never replaced.
        decision.keepBackup = true;
        return {};
    }
    const std::string net = QuotedPath(plan.chosen);
    const std::string ant = QuotedPath(plan.backup);
    if (known.targetIsOurs) {
        std::string message = "Error: " + net + " is Tarvex's output, binned from " + ant + "; processing it would replace " +
                              ant + ", the only copy of the placeholders. To bin the netlist again, choose " + ant + ".";
        const std::vector<std::string> others = KeysNotBinned(known.record->keys, decision.keys);
        if (!others.empty()) {
            message += " It was binned with the Keys " + KeyList(known.record->keys) +
                       ": to bin several device families, process " + ant + " once with every settings file.";
        }
        return Fail(message + kUnchanged);
    }
    const Result<NetlistComparison> compared = Compare(plan.backup, plan.chosen, families);
    if (!compared) {
        return Fail(compared.error());
    }
    decision.backupStamp = known.backup;
    if (compared->identical) {
        return {};
    }
    if (!compared->netHoldsKey) {
        return Fail("Error: No line of " + net + " holds a Key (" + KeyList(decision.keys) +
                    "): there is nothing to bin, and moving it aside would replace " + ant + ". If " + net +
                    " is an edit of the binned netlist, make the edit in " + ant + " and choose " + ant +
                    "; if the Keys are wrong, load the settings file that names them." + kUnchanged);
    }
    if (known.backupIsOurs && compared->binnedLines == 0) {
        return {};
    }
    decision.keepBackup = true;
    decision.backupStamp.reset();
    if (compared->binnedLines > 0) {
        decision.doubt = Doubt{net + " has lines binned from " + ant +
                                   " (Tarvex's output, an edit of it, or an export that names some part names?); "
                                   "processing it would replace " + ant + ", which may be the only copy of the placeholders.",
                               plan.backup, NextNumberedBackup(plan.backup)};
    }
    return {};
}

// The ".net" is regenerated over an existing one: Tarvex's own unedited output, or a copy of the
// backup, goes without a trace; anything else may be the user's work (an edit, a new export): a
// doubt. So is an output of Tarvex's that holds families this run does not bin.
Result<void> DecideRegenerate(ProcessDecision& decision, const Knowledge& known,
                              std::span<const RewriteRules> families) {
    const ProcessPlan& plan = decision.plan;
    if (!known.target) {
        return {};
    }
    decision.targetStamp = known.target;
    const std::string net = QuotedPath(plan.target);
    const std::string ant = QuotedPath(plan.source);
    if (known.targetIsOurs) {
        const std::vector<std::string> others = KeysNotBinned(known.record->keys, decision.keys);
        if (!others.empty()) {
            decision.keepTarget = true;
            decision.doubt = Doubt{net + " was binned with the Keys " + KeyList(known.record->keys) +
                                       ", and this run does not bin " + KeyList(others) + ": processing " + ant +
                                       " would make them placeholders again. To bin several device families, "
                                       "process " + ant + " once with every settings file.",
                                   plan.target, NextNumberedBackup(plan.target)};
        }
        return {};
    }
    const Result<NetlistComparison> compared = Compare(plan.source, plan.target, families);
    if (!compared) {
        return Fail(compared.error());
    }
    if (compared->identical) {
        return {};
    }
    decision.keepTarget = true;
    const std::string what = known.record ? net + " was changed after Tarvex wrote it"
                                          : net + " was not written by Tarvex, or Tarvex has no record of it";
    decision.doubt = Doubt{what + " (a new export, or an edit?); processing " + ant +
                               " would replace it. If it is a new export, choose " + net + " to bin it.",
                           plan.target, NextNumberedBackup(plan.target)};
    return {};
}

// The refusals made on names and kinds alone, before any content is read.
Result<void> CheckNames(const ProcessPlan& plan) {
    if (IsNumberedBackup(plan.chosen)) {
        return Fail(
            "Error: " + QuotedPath(plan.chosen) +
            " is a numbered backup, which Tarvex keeps as it is. To process it, copy it to a new name." +
            kUnchanged);
    }
    // A folder would be renamed to the backup name and then fail to read; a pipe would block.
    for (const fs::path* path : {&plan.chosen, &plan.backup, &plan.target}) {
        if (Result<void> kind = CheckFileKind(*path); !kind) {
            return kind;
        }
    }
    if (plan.moveAside) {
        if (Result<void> kept = CheckNothingIsLost(plan.chosen, plan); !kept) {
            return kept;
        }
    }
    // A ".net" and ".ant" that are one file (a link, a hard link): whichever is written, the other
    // name shows it too, and the netlist is gone.
    if (Exists(plan.backup) && Exists(plan.target) && SameFile(plan.backup, plan.target)) {
        return Fail(
            "Error: " + QuotedPath(plan.target) + " and " + QuotedPath(plan.backup) +
            " are the same file (a link); processing would lose the netlist. Make them separate files." +
            kUnchanged);
    }
    if (const Result<FilePtr> chosen = OpenToCompare(plan.moveAside ? plan.chosen : plan.source); !chosen) {
        return Fail(chosen.error());
    }
    return {};
}

// Moves the chosen netlist aside to the backup as decided, keeping an older backup first when it
// must be kept; fails when it cannot.
Result<void> MoveAside(const ProcessDecision& decision, ProcessOutcome& outcome) {
    const ProcessPlan& plan = decision.plan;
    if (decision.keepBackup) {
        std::error_code error;
        const auto kept = MoveToNumberedBackup(plan.backup, plan.backup, error);
        if (!kept) {
            return Fail("Error: Cannot keep " + QuotedPath(plan.backup) +
                        " as a numbered backup: " + ErrorText(error) + "." + kUnchanged);
        }
        outcome.notes.push_back("The earlier " + QuotedPath(plan.backup) + " was kept as " + QuotedPath(*kept) + ".");
    }
    const Placement moved = PlaceFile(plan.chosen, plan.backup, decision.keepBackup ? std::nullopt : decision.backupStamp,
                                      false);
    if (moved.error) {
        return Fail("Error: Cannot move " + QuotedPath(plan.chosen) + " aside to " + QuotedPath(plan.backup) +
                    ": " + ErrorText(moved.error) + "." + kUnchanged);
    }
    if (moved.targetChanged) {
        return Fail("Error: " + QuotedPath(plan.backup) +
                    " was written by another program while Tarvex checked "
                    "it; it was kept, and " +
                    QuotedPath(plan.chosen) + " was moved to " + QuotedPath(moved.keptNew) + ".");
    }
    return {};
}

} // namespace

std::string DoubtQuestion(const Doubt& doubt) {
    return doubt.reason + "\n\nProcess anyway, keeping " + QuotedPath(doubt.file) + " as " + QuotedPath(doubt.keepAs) +
           "?";
}

std::string DoubtRefusal(const Doubt& doubt, std::string_view option) {
    return "Error: " + doubt.reason + " To go on, keeping " + QuotedPath(doubt.file) + " as " +
           QuotedPath(doubt.keepAs) + ", use " + std::string(option) + "." + kUnchanged;
}

std::string NoKeyMessage(const fs::path& file, std::span<const RewriteRules> families) {
    return "No line of " + QuotedPath(file) + " holds a Key (" + KeyList(KeysOf(families)) + "): nothing was binned.";
}

std::string BoundsRefusal(const BoundFault& fault, std::string_view tableName) {
    return BoundFaultMessage(fault) + "\n" + BoundFaultPlace(fault, tableName) + ".";
}

Result<void> CheckRules(const RewriteRules& rules) {
    const std::string n(kDefaultKeyN);
    const std::string p(kDefaultKeyP);
    if (const auto fault = FindBoundFault(rules.tableN)) {
        return Fail(BoundsRefusal(*fault, n));
    }
    if (const auto fault = FindBoundFault(rules.tableP)) {
        return Fail(BoundsRefusal(*fault, p));
    }
    if (rules.keyN.empty()) {
        return Fail("Error: Empty " + n + " key!");
    }
    if (rules.keyP.empty()) {
        return Fail("Error: Empty " + p + " key!");
    }
    if (IsBlank(rules.keyN)) {
        return Fail("Error: Blank " + n + " key!");
    }
    if (IsBlank(rules.keyP)) {
        return Fail("Error: Blank " + p + " key!");
    }
    if (rules.keyN == rules.keyP) {
        return Fail("Error: " + n + " and " + p + " keys are the same!");
    }
    if (rules.keyN.find(rules.keyP) != std::string::npos) {
        return Fail("Error: " + n + " key contains " + p + " key!");
    }
    if (rules.keyP.find(rules.keyN) != std::string::npos) {
        return Fail("Error: " + p + " key contains " + n + " key!");
    }
    if (Result<void> names = CheckPartNames(rules.tableN, n); !names) {
        return names;
    }
    return CheckPartNames(rules.tableP, p);
}

Result<void> CheckRules(std::span<const RewriteRules> families) {
    for (const RewriteRules& rules : families) {
        if (Result<void> checked = CheckRules(rules); !checked) {
            return checked;
        }
    }
    for (std::size_t i = 0; i < families.size(); ++i) {
        for (std::size_t j = 0; j < families.size(); ++j) {
            if (i == j) {
                continue;
            }
            for (const std::string* mine : {&families[i].keyN, &families[i].keyP}) {
                for (const std::string* theirs : {&families[j].keyN, &families[j].keyP}) {
                    if (*mine == *theirs) {
                        return Fail("Error: Two settings files have the same Key " + *mine + "!");
                    }
                    if (mine->find(*theirs) != std::string::npos) {
                        return Fail("Error: Key " + *mine + " of one settings file contains Key " + *theirs +
                                    " of another!");
                    }
                }
            }
        }
    }
    return {};
}

Result<ProcessPlan> PlanProcess(const std::filesystem::path& chosenName) {
    ProcessPlan plan;
    plan.chosen = OpenedName(chosenName);
    plan.backup = ChangeExtension(plan.chosen, ".ant");
    plan.moveAside = !SamePathIgnoringCase(plan.chosen, plan.backup);
    plan.source = plan.moveAside ? plan.backup : plan.chosen;
    plan.target = ChangeExtension(plan.backup, ".net");
    if (SamePathIgnoringCase(plan.source, plan.target)) {
        return Fail("Input file cannot have .OUT extension!");
    }
    return plan;
}

Result<ProcessDecision> DecideProcess(const std::filesystem::path& chosenName,
                                      std::span<const RewriteRules> families, const ProcessSafety& safety) {
    if (Result<void> checked = CheckRules(families); !checked) {
        return Fail(checked.error());
    }
    Result<ProcessPlan> planned = PlanProcess(chosenName);
    if (!planned) {
        return Fail(planned.error());
    }
    ProcessDecision decision;
    decision.keys = KeysOf(families);
    decision.plan = std::move(planned).value();
    if (!Exists(decision.plan.chosen)) {
        // What a run killed after the move aside leaves: regenerate from the backup, as if chosen.
        if (!decision.plan.moveAside || !IsRegular(decision.plan.backup)) {
            return Fail("Error: " + QuotedPath(decision.plan.chosen) + " does not exist." + kUnchanged);
        }
        decision.plan = PlanProcess(decision.plan.backup).value();
    }
    if (Result<void> names = CheckNames(decision.plan); !names) {
        return Fail(names.error());
    }
    const Knowledge known = Inspect(decision.plan, OutputRecords(safety.stateFolder));
    const Result<void> decided = decision.plan.moveAside ? DecideMoveAside(decision, known, families)
                                                         : DecideRegenerate(decision, known, families);
    if (!decided) {
        return Fail(decided.error());
    }
    return decision;
}

namespace {

// One run per netlist: the lock is taken before the checks and held until the output is in place.
// Fails when another run holds it; a name that cannot be planned takes no lock (the checks refuse it).
Result<std::unique_ptr<RunLock>> LockRun(const fs::path& chosenName, const OutputRecords& records,
                                         const ProcessSafety& safety) {
    const Result<ProcessPlan> planned = PlanProcess(chosenName);
    if (!planned) {
        return std::unique_ptr<RunLock>();
    }
    bool busy = false;
    std::error_code lockError;
    std::unique_ptr<RunLock> held = records.lock(planned->target, safety.lockWait, busy, lockError);
    if (busy) {
        return Fail("Error: " + QuotedPath(planned->chosen) + " is being processed by another Tarvex." +
                    kUnchanged);
    }
    return held;
}

// Writes the ".net" from the source through a ReplacementFile, as decided; the report, the notes and
// any error go into outcome.
void WriteTarget(const ProcessDecision& decision, std::span<const RewriteRules> families,
                 const StreamOptions& options, ProcessOutcome& outcome) {
    const ProcessPlan& plan = decision.plan;
    std::error_code openError;
    const FilePtr source = OpenFile(plan.source, "r", openError);
    if (!source) {
        outcome.error = "Error: Cannot read " + QuotedPath(plan.source) + ": " + ErrorText(openError.value()) + "." +
                        (plan.moveAside ? KeptNote(plan) : std::string());
        return;
    }
    const InputWatch input(source.get(), plan.source);
    ReplaceTarget target;
    target.path = plan.target;
    // The new netlist keeps the permissions of the one it replaces: an older output when the
    // backup was chosen, else the netlist that has just become the backup.
    target.modeFrom = decision.targetStamp ? plan.target : plan.source;
    target.expected = plan.moveAside ? std::nullopt : decision.targetStamp;
    target.keepOld = decision.keepTarget;
    target.input = &input;
    const ReplaceNames names{QuotedPath(plan.source), QuotedPath(plan.target), KeptNote(plan), KeptNote(plan)};
    FileReader reader(source.get());
    ReplaceResult written = RewriteReplacing(reader, target, families, options, names);
    outcome.report = std::move(written.report);
    if (written.status == StreamStatus::Completed && !outcome.report.linesWithoutSize.empty()) {
        std::rewind(source.get());
        FileReader again(source.get());
        outcome.report.devicesReadAsSpice = CountReadAsSpice(again, outcome.report.linesWithoutSize);
    }
    outcome.error = std::move(written.error);
    if (!written.placement.keptOld.empty()) {
        outcome.notes.push_back("The earlier " + QuotedPath(plan.target) + " was kept as " +
                                QuotedPath(written.placement.keptOld) + ".");
    }
    if (written.status == StreamStatus::Cancelled) {
        outcome.cancelled = true;
        if (plan.moveAside) {
            outcome.error = "Cancelled. The original netlist is kept as " + QuotedPath(plan.source) + "; " +
                            QuotedPath(plan.target) + " was not written. To bin it, choose " +
                            QuotedPath(plan.source) + ".";
        }
    }
}

} // namespace

ProcessOutcome ProcessNetlist(const std::filesystem::path& chosenName, std::span<const RewriteRules> families,
                              const StreamOptions& options, const ProcessSafety& safety) {
    ProcessOutcome outcome;
    const OutputRecords records(safety.stateFolder);
    const Result<std::unique_ptr<RunLock>> held = LockRun(chosenName, records, safety);
    if (!held) {
        outcome.error = held.error();
        return outcome;
    }
    const Result<ProcessDecision> decided = DecideProcess(chosenName, families, safety);
    if (!decided) {
        outcome.error = decided.error();
        return outcome;
    }
    const ProcessDecision& decision = *decided;
    outcome.plan = decision.plan;
    if (decision.doubt) {
        if (!safety.goOn) {
            outcome.error = DoubtRefusal(*decision.doubt, safety.refusalOption);
            return outcome;
        }
        if (!safety.goOn(*decision.doubt)) {
            outcome.declined = true;
            return outcome;
        }
    }
    const ProcessPlan& plan = decision.plan;
    if (plan.moveAside) {
        if (const Result<void> moved = MoveAside(decision, outcome); !moved) {
            outcome.error = moved.error();
            return outcome;
        }
        // The backup is now the netlist that Tarvex moved aside: a later export may supersede it.
        records.remember(plan.target, {FileStamp{}, StampOf(plan.backup), decision.keys});
    }
    WriteTarget(decision, families, options, outcome);
    if (!outcome.completed()) {
        return outcome;
    }
    if (const auto placed = StampOf(plan.target)) {
        records.remember(plan.target, {*placed, StampOf(plan.source), decision.keys});
    }
    if (outcome.report.devicesReplaced + outcome.report.devicesKept() == 0) {
        outcome.noKey = NoKeyMessage(plan.source, families);
    }
    return outcome;
}

ProcessOutcome ProcessNetlist(const std::filesystem::path& chosen, const RewriteRules& rules,
                              const StreamOptions& options, const ProcessSafety& safety) {
    return ProcessNetlist(chosen, std::span<const RewriteRules>(&rules, 1), options, safety);
}

} // namespace tarvex
