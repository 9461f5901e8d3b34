// SPDX-License-Identifier: MIT
#include "netlist/process.h"

#include "files/byte_stream.h"
#include "files/paths.h"

#include <cerrno>
#include <system_error>

namespace tarvex {
namespace {


std::string KeptNote(const ProcessPlan& plan) {
    return " The original netlist is kept as " + QuotedPath(plan.source) + ".";
}

// Removes the temporary output unless it has been renamed into place.
class TemporaryFile {
public:
    explicit TemporaryFile(std::filesystem::path path) : m_path(std::move(path)) {}
    ~TemporaryFile() {
        if (!m_kept) {
            std::error_code ignored;
            std::filesystem::remove(m_path, ignored);
        }
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    const std::filesystem::path& path() const { return m_path; }
    void keep() { m_kept = true; }

private:
    std::filesystem::path m_path;
    bool m_kept = false;
};

} // namespace

std::optional<std::string> CheckRules(const RewriteRules& rules) {
    if (auto fault = ValidateBounds(rules.tableN)) {
        return fault;
    }
    if (rules.keyN.empty()) {
        return "Error: Empty " + std::string(kDefaultKeyN) + " key!";
    }
    if (rules.keyP.empty()) {
        return "Error: Empty " + std::string(kDefaultKeyP) + " key!";
    }
    return std::nullopt;
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
    if (std::filesystem::is_directory(chosen, notFolder)) {
        outcome.error = "Error: " + QuotedPath(chosen) + " is a folder, not a netlist. No file was changed.";
        return outcome;
    }

    if (plan.moveAside) {
        // A netlist that exists but cannot be read (no read permission, a dangling link) is refused
        // before it is moved aside, so the older backup and the netlist's name stay as they were.
        errno = 0;
        const bool readable = OpenFile(chosen, "r") != nullptr;
        const int openError = errno;
        std::error_code noEntry;
        if (!readable && std::filesystem::exists(std::filesystem::symlink_status(chosen, noEntry))) {
            outcome.error =
                "Error: Cannot read " + QuotedPath(chosen) + ": " + ErrorText(openError) + ". No file was changed.";
            return outcome;
        }
        const std::error_code error = MoveReplacing(chosen, plan.backup);
        // The chosen netlist gone while its backup exists is what a run killed after the move aside
        // leaves behind: the backup is the original, so regenerate from it as if it had been chosen.
        std::error_code ignored;
        const bool recovering =
            error == std::errc::no_such_file_or_directory && std::filesystem::is_regular_file(plan.backup, ignored);
        if (error && !recovering) {
            outcome.error = "Error: Cannot move " + QuotedPath(chosen) + " aside to " + QuotedPath(plan.backup) + ": " +
                            ErrorText(error) + ". No file was changed.";
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

    TemporaryFile temporary(plan.target.native() + std::filesystem::path(".tarvex-tmp").native());
    errno = 0;
    FilePtr target = OpenFile(temporary.path(), "w");
    if (!target) {
        outcome.error = "Error: Cannot create " + QuotedPath(plan.target) + ": " + ErrorText(errno) + "." + KeptNote(plan);
        return outcome;
    }

    FileReader reader(source.get());
    FileWriter writer(target.get());
    errno = 0;
    StreamResult streamed = RewriteStream(reader, writer, rules, options);
    const int streamError = errno;
    outcome.report = std::move(streamed.report);
    switch (streamed.status) {
    case StreamStatus::Completed:
        break;
    case StreamStatus::Cancelled:
        outcome.cancelled = true;
        return outcome;
    case StreamStatus::ReadFailed:
        outcome.error = "Error: Cannot read " + QuotedPath(plan.source) + ": " + ErrorText(streamError) + "." + KeptNote(plan);
        return outcome;
    case StreamStatus::WriteFailed:
        outcome.error = "Error: Cannot write " + QuotedPath(plan.target) + ": " + ErrorText(streamError) + "." + KeptNote(plan);
        return outcome;
    }

    errno = 0;
    if (std::fclose(target.release()) != 0) {
        outcome.error = "Error: Cannot write " + QuotedPath(plan.target) + ": " + ErrorText(errno) + "." + KeptNote(plan);
        return outcome;
    }
    if (const std::error_code error = MoveReplacing(temporary.path(), plan.target)) {
        outcome.error = "Error: Cannot create " + QuotedPath(plan.target) + ": " + ErrorText(error) + "." + KeptNote(plan);
        return outcome;
    }
    temporary.keep();
    return outcome;
}

} // namespace tarvex
