// SPDX-License-Identifier: MIT
#include "netlist/process.h"

#include "files/byte_stream.h"
#include "files/paths.h"
#include "files/replacement_file.h"
#include "netlist/byte_scan.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <system_error>
#include <vector>

namespace tarvex {
namespace {

namespace fs = std::filesystem;

constexpr std::size_t kScanChunk = std::size_t{1} << 20;
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

// Whether the file holds either Key anywhere; nothing on a read error. The last bytes of each read
// stay at the front of the buffer, so a Key that straddles two reads is found too.
std::optional<bool> HoldsKey(std::FILE* file, const RewriteRules& rules) {
    const KeyScanner scanner(rules.keyN, rules.keyP);
    const std::size_t overlap = std::max(rules.keyN.size(), rules.keyP.size()) - 1;
    std::vector<char> buffer(overlap + kScanChunk);
    std::size_t kept = 0;
    FileReader reader(file);
    for (;;) {
        const std::optional<std::size_t> count = reader.read({buffer.data() + kept, kScanChunk});
        if (!count) {
            return std::nullopt;
        }
        if (*count == 0) {
            return false;
        }
        const std::string_view data(buffer.data(), kept + *count);
        if (scanner.find(data) < data.size()) {
            return true;
        }
        kept = std::min(data.size(), overlap);
        std::memmove(buffer.data(), data.data() + data.size() - kept, kept);
    }
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

PlanResult PlanProcess(const std::filesystem::path& chosen) {
    ProcessPlan plan;
    plan.backup = ChangeExtension(chosen, ".ant");
    plan.moveAside = !SamePathIgnoringCase(chosen, plan.backup);
    plan.source = plan.moveAside ? plan.backup : chosen;
    plan.target = ChangeExtension(plan.backup, ".net");
    if (SamePathIgnoringCase(plan.source, plan.target)) {
        return {std::nullopt, "Input file cannot have .OUT extension!"};
    }
    return {plan, {}};
}

ProcessOutcome ProcessNetlist(const std::filesystem::path& chosen, const RewriteRules& rules,
                              const StreamOptions& options) {
    ProcessOutcome outcome;
    if (auto problem = CheckRules(rules)) {
        outcome.error = std::move(problem);
        return outcome;
    }
    PlanResult planned = PlanProcess(chosen);
    if (!planned.plan) {
        outcome.error = std::move(planned.error);
        return outcome;
    }
    const ProcessPlan& plan = outcome.plan = *planned.plan;

    // A folder would be renamed to the backup name and then fail to read; refuse it untouched.
    std::error_code notFolder;
    if (fs::is_directory(chosen, notFolder)) {
        outcome.error = "Error: " + QuotedPath(chosen) + " is a folder, not a netlist." + kUnchanged;
        return outcome;
    }

    if (plan.moveAside) {
        if (auto loss = CheckNothingIsLost(chosen, plan)) {
            outcome.error = std::move(loss);
            return outcome;
        }
        // A netlist that exists but cannot be read (no read permission, a dangling link) is refused
        // before it is moved aside, so the older backup and the netlist's name stay as they were.
        errno = 0;
        const FilePtr chosenFile = OpenFile(chosen, "r");
        const int openError = errno;
        if (!chosenFile && Exists(chosen)) {
            outcome.error =
                "Error: Cannot read " + QuotedPath(chosen) + ": " + ErrorText(openError) + "." + kUnchanged;
            return outcome;
        }
        // Processing a binned netlist again would move it over the backup, and with it the only
        // copy of the placeholders.
        if (chosenFile && Exists(plan.backup)) {
            errno = 0;
            const std::optional<bool> holdsKey = HoldsKey(chosenFile.get(), rules);
            if (!holdsKey) {
                outcome.error =
                    "Error: Cannot read " + QuotedPath(chosen) + ": " + ErrorText(errno) + "." + kUnchanged;
                return outcome;
            }
            if (!*holdsKey) {
                outcome.error =
                    "Error: " + QuotedPath(chosen) + " holds neither Key, so it looks binned already; " +
                    "processing it would replace the backup " + QuotedPath(plan.backup) +
                    ". To bin the netlist again, choose " + QuotedPath(plan.backup) + "." + kUnchanged;
                return outcome;
            }
        }
    }

    if (plan.moveAside) {
        const std::error_code error = MoveReplacing(chosen, plan.backup);
        // The chosen netlist gone while its backup exists is what a run killed after the move aside
        // leaves behind: the backup is the original, so regenerate from it as if it had been chosen.
        std::error_code ignored;
        const bool recovering =
            error == std::errc::no_such_file_or_directory && fs::is_regular_file(plan.backup, ignored);
        if (error && !recovering) {
            outcome.error = "Error: Cannot move " + QuotedPath(chosen) + " aside to " +
                            QuotedPath(plan.backup) + ": " + ErrorText(error) + "." + kUnchanged;
            return outcome;
        }
    }

    errno = 0;
    const FilePtr source = OpenFile(plan.source, "r");
    if (!source) {
        outcome.error = "Error: Cannot read " + QuotedPath(plan.source) + ": " + ErrorText(errno) + "." +
                        (plan.moveAside ? KeptNote(plan) : std::string());
        return outcome;
    }

    // The new netlist keeps the permissions of the one it replaces: an older output when the
    // backup was chosen, else the netlist that has just become the backup.
    std::error_code statusError;
    const bool targetExists = fs::exists(plan.target, statusError);
    ReplacementFile target(plan.target, targetExists ? plan.target : plan.source);
    if (!target.file()) {
        outcome.error = "Error: Cannot create " + QuotedPath(plan.target) + ": " + ErrorText(target.error()) +
                        "." + KeptNote(plan);
        return outcome;
    }

    FileReader reader(source.get());
    FileWriter writer(target.file());
    errno = 0;
    StreamResult streamed = RewriteStream(reader, writer, rules, options);
    const int streamError = errno;
    outcome.report = std::move(streamed.report);
    switch (streamed.status) {
    case StreamStatus::Completed:
        break;
    case StreamStatus::Cancelled:
        outcome.cancelled = true;
        if (plan.moveAside) {
            outcome.error = "Cancelled. The original netlist is kept as " + QuotedPath(plan.source) + "; " +
                            QuotedPath(plan.target) + " was not written. To bin it, choose " +
                            QuotedPath(plan.source) + ".";
        }
        return outcome;
    case StreamStatus::ReadFailed:
        outcome.error = "Error: Cannot read " + QuotedPath(plan.source) + ": " + ErrorText(streamError) +
                        "." + KeptNote(plan);
        return outcome;
    case StreamStatus::WriteFailed:
        outcome.error = "Error: Cannot write " + QuotedPath(plan.target) + ": " + ErrorText(streamError) +
                        "." + KeptNote(plan);
        return outcome;
    }

    if (const std::error_code error = target.close()) {
        outcome.error =
            "Error: Cannot write " + QuotedPath(plan.target) + ": " + ErrorText(error) + "." + KeptNote(plan);
        return outcome;
    }
    if (const std::error_code error = target.moveIntoPlace()) {
        outcome.error = "Error: Cannot create " + QuotedPath(plan.target) + ": " + ErrorText(error) + "." +
                        KeptNote(plan);
        return outcome;
    }
    return outcome;
}

} // namespace tarvex
