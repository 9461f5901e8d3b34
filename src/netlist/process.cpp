// SPDX-License-Identifier: MIT
#include "netlist/process.h"

#include "files/byte_stream.h"
#include "files/paths.h"
#include "netlist/binned_copy.h"
#include "netlist/replacing_write.h"

#include <algorithm>
#include <cerrno>
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
std::optional<std::string> CheckPartNames(const BinTable& table, const std::string& label) {
    for (int row = 0; row < kBinCount; ++row) {
        for (int column = 0; column < kBinCount; ++column) {
            if (const char* breaker = LineBreaker(PartName(table, column, row))) {
                return "Error: " + label + " part name in column " + std::to_string(column + 1) + ", row " +
                       std::to_string(row + 1) + " holds " + breaker + "!";
            }
        }
    }
    return std::nullopt;
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
std::optional<std::string> CheckNothingIsLost(const fs::path& chosen, const ProcessPlan& plan) {
    std::error_code error;
    const bool chosenIsLink = fs::is_symlink(fs::symlink_status(chosen, error));
    // A link moved aside still points where it did: at the ".net" that the run replaces, or at the
    // backup it is renamed over (and then at itself). Either way the netlist would be gone.
    // A dangling link cannot be read and is refused later, before anything is moved.
    if (chosenIsLink) {
        const fs::path resolved = fs::canonical(chosen, error);
        for (const fs::path* replaced : {&plan.target, &plan.backup}) {
            if (!error && resolved == PlaceOf(*replaced)) {
                return "Error: " + QuotedPath(chosen) + " is a link to " + QuotedPath(*replaced) +
                       ", which processing it would replace. Choose the file itself." + kUnchanged;
            }
        }
    }
    // "amp.cir", or "x.NET" beside a separate "x.net": the ".net" written is not the file chosen. A
    // hard link or another spelling of the chosen file itself is fine: only its name is replaced.
    const bool targetIsChosen =
        chosen.native() == plan.target.native() || (!chosenIsLink && SameFile(chosen, plan.target));
    if (!targetIsChosen && Exists(plan.target)) {
        return "Error: Processing " + QuotedPath(chosen) + " would replace " + QuotedPath(plan.target) +
               ", another file. Choose " + QuotedPath(plan.target) + " itself, or rename one of them." +
               kUnchanged;
    }
    return std::nullopt;
}

// A pipe, a device or a socket would block the run or lose what it streams; only regular files (and
// folders, refused on their own) are netlists. A missing file is no fault here.
std::optional<std::string> CheckFileKind(const fs::path& path) {
    std::error_code error;
    const fs::file_status status = fs::status(path, error);
    if (error || !fs::exists(status) || fs::is_regular_file(status)) {
        return std::nullopt;
    }
    if (fs::is_directory(status)) {
        return "Error: " + QuotedPath(path) + " is a folder, not a netlist." + kUnchanged;
    }
    return "Error: " + QuotedPath(path) +
           " is not a regular file (a pipe, a device or a socket), not a netlist." + kUnchanged;
}

std::string CannotRead(const fs::path& path, const std::error_code& error) {
    return "Error: Cannot read " + QuotedPath(path) + ": " + ErrorText(error) + "." + kUnchanged;
}

// Opens path for the comparison; the message when it exists but cannot be read.
std::optional<std::string> OpenToCompare(const fs::path& path, FilePtr& file) {
    std::error_code error;
    file = OpenFile(path, "r", error);
    if (!file && Exists(path)) {
        return CannotRead(path, error ? error : std::error_code(EIO, std::generic_category()));
    }
    return std::nullopt;
}

// The refusals that need the files' contents. Moving the chosen netlist aside replaces the backup,
// which must not happen when the netlist is a binned copy of it: the backup is then the only copy
// of the placeholders. Regenerating from the backup replaces the ".net", which must not happen
// when that is not a binned copy of the backup (a fresh export, a hand edit): it would be lost.
std::optional<std::string> CheckCopies(const ProcessPlan& plan, const RewriteRules& rules) {
    const fs::path& ant = plan.moveAside ? plan.backup : plan.chosen;
    const fs::path& net = plan.moveAside ? plan.chosen : plan.target;
    // The chosen file first, so that its own read error is the one reported.
    const fs::path& other = plan.moveAside ? plan.backup : plan.target;
    FilePtr chosenFile;
    FilePtr otherFile;
    if (auto problem = OpenToCompare(plan.chosen, chosenFile)) {
        return problem;
    }
    if (auto problem = OpenToCompare(other, otherFile)) {
        return problem;
    }
    if (!chosenFile || !otherFile) {
        return std::nullopt;
    }
    FileReader antReader(plan.moveAside ? otherFile.get() : chosenFile.get());
    FileReader netReader(plan.moveAside ? chosenFile.get() : otherFile.get());
    const CopyComparison compared = CompareWithBackup(antReader, netReader, rules);
    if (compared.error) {
        return CannotRead(compared.errorInNet ? net : ant, compared.error);
    }
    if (plan.moveAside && compared.relation == CopyRelation::BinnedCopy) {
        return "Error: " + QuotedPath(net) + " is a binned copy of its backup " + QuotedPath(ant) +
               "; processing it would replace the backup, the only copy of the placeholders. To bin the "
               "netlist again, choose " +
               QuotedPath(ant) + "." + kUnchanged;
    }
    if (!plan.moveAside && compared.relation == CopyRelation::Different) {
        return "Error: " + QuotedPath(net) + " is not a binned copy of " + QuotedPath(ant) +
               " (a new export or an edit?); processing " + QuotedPath(ant) +
               " would replace it, and it would be lost. Choose " + QuotedPath(net) +
               " to bin it (it then becomes the backup), or move it away to keep it." + kUnchanged;
    }
    return std::nullopt;
}

} // namespace

std::optional<std::string> CheckRules(const RewriteRules& rules) {
    if (auto fault = ValidateBounds(rules.tableN)) {
        return fault;
    }
    const std::string n(kDefaultKeyN);
    const std::string p(kDefaultKeyP);
    if (rules.keyN.empty()) {
        return "Error: Empty " + n + " key!";
    }
    if (rules.keyP.empty()) {
        return "Error: Empty " + p + " key!";
    }
    if (IsBlank(rules.keyN)) {
        return "Error: Blank " + n + " key!";
    }
    if (IsBlank(rules.keyP)) {
        return "Error: Blank " + p + " key!";
    }
    if (rules.keyN == rules.keyP) {
        return "Error: " + n + " and " + p + " keys are the same!";
    }
    if (rules.keyN.find(rules.keyP) != std::string::npos) {
        return "Error: " + n + " key contains " + p + " key!";
    }
    if (rules.keyP.find(rules.keyN) != std::string::npos) {
        return "Error: " + p + " key contains " + n + " key!";
    }
    if (auto fault = CheckPartNames(rules.tableN, n)) {
        return fault;
    }
    return CheckPartNames(rules.tableP, p);
}

PlanResult PlanProcess(const std::filesystem::path& chosenName) {
    ProcessPlan plan;
    plan.chosen = OpenedName(chosenName);
    plan.backup = ChangeExtension(plan.chosen, ".ant");
    plan.moveAside = !SamePathIgnoringCase(plan.chosen, plan.backup);
    plan.source = plan.moveAside ? plan.backup : plan.chosen;
    plan.target = ChangeExtension(plan.backup, ".net");
    if (SamePathIgnoringCase(plan.source, plan.target)) {
        return {std::nullopt, "Input file cannot have .OUT extension!"};
    }
    return {plan, {}};
}

PlanResult PrepareProcess(const std::filesystem::path& chosenName, const RewriteRules& rules) {
    if (auto problem = CheckRules(rules)) {
        return {std::nullopt, std::move(*problem)};
    }
    PlanResult planned = PlanProcess(chosenName);
    if (!planned.plan) {
        return planned;
    }
    const ProcessPlan& plan = *planned.plan;
    const auto refuse = [](std::string message) { return PlanResult{std::nullopt, std::move(message)}; };
    // A folder would be renamed to the backup name and then fail to read; a pipe would block.
    for (const fs::path* path : {&plan.chosen, &plan.backup, &plan.target}) {
        if (auto problem = CheckFileKind(*path)) {
            return refuse(std::move(*problem));
        }
    }
    if (plan.moveAside) {
        if (auto loss = CheckNothingIsLost(plan.chosen, plan)) {
            return refuse(std::move(*loss));
        }
    }
    // A ".net" and ".ant" that are one file (a link, a hard link): whichever is written, the other
    // name shows it too, and the netlist is gone.
    if (Exists(plan.backup) && Exists(plan.target) && SameFile(plan.backup, plan.target)) {
        return refuse("Error: " + QuotedPath(plan.target) + " and " + QuotedPath(plan.backup) +
                      " are the same file (a link); processing would lose the netlist. Make them separate "
                      "files." +
                      kUnchanged);
    }
    if (auto problem = CheckCopies(plan, rules)) {
        return refuse(std::move(*problem));
    }
    return planned;
}

ProcessOutcome ProcessNetlist(const std::filesystem::path& chosenName, const RewriteRules& rules,
                              const StreamOptions& options) {
    ProcessOutcome outcome;
    PlanResult prepared = PrepareProcess(chosenName, rules);
    if (!prepared.plan) {
        outcome.error = std::move(prepared.error);
        return outcome;
    }
    const ProcessPlan& plan = outcome.plan = *prepared.plan;

    if (plan.moveAside) {
        const std::error_code error = MoveReplacing(plan.chosen, plan.backup);
        // The chosen netlist gone while its backup exists is what a run killed after the move aside
        // leaves behind: the backup is the original, so regenerate from it as if it had been chosen.
        std::error_code ignored;
        const bool recovering =
            error == std::errc::no_such_file_or_directory && fs::is_regular_file(plan.backup, ignored);
        if (error && !recovering) {
            outcome.error = "Error: Cannot move " + QuotedPath(plan.chosen) + " aside to " +
                            QuotedPath(plan.backup) + ": " + ErrorText(error) + "." + kUnchanged;
            return outcome;
        }
    }

    std::error_code openError;
    const FilePtr source = OpenFile(plan.source, "r", openError);
    if (!source) {
        outcome.error = "Error: Cannot read " + QuotedPath(plan.source) + ": " +
                        ErrorText(openError.value()) + "." +
                        (plan.moveAside ? KeptNote(plan) : std::string());
        return outcome;
    }

    // The new netlist keeps the permissions of the one it replaces: an older output when the
    // backup was chosen, else the netlist that has just become the backup.
    std::error_code statusError;
    const bool targetExists = fs::exists(plan.target, statusError);
    const ReplaceNames names{QuotedPath(plan.source), QuotedPath(plan.target), KeptNote(plan),
                             KeptNote(plan)};
    FileReader reader(source.get());
    ReplaceResult written = RewriteReplacing(reader, plan.target, targetExists ? plan.target : plan.source,
                                             rules, options, names);
    outcome.report = std::move(written.report);
    outcome.error = std::move(written.error);
    if (written.status == StreamStatus::Cancelled) {
        outcome.cancelled = true;
        if (plan.moveAside) {
            outcome.error = "Cancelled. The original netlist is kept as " + QuotedPath(plan.source) + "; " +
                            QuotedPath(plan.target) + " was not written. To bin it, choose " +
                            QuotedPath(plan.source) + ".";
        }
    }
    return outcome;
}

} // namespace tarvex
