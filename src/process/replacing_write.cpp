// SPDX-License-Identifier: MIT
#include "process/replacing_write.h"

#include "files/paths.h"
#include "files/replacement_file.h"

#include <cstdio>
#include <utility>

namespace tarvex {

Result<void> StreamFailure(const StreamResult& result, const ReplaceNames& names) {
    switch (result.status) {
    case StreamStatus::ReadFailed:
        return Fail("Error: Cannot read " + names.source + ": " + ErrorText(result.error) + "." + names.note);
    case StreamStatus::WriteFailed:
        return Fail("Error: Cannot write " + names.target + ": " + ErrorText(result.error) + "." +
                    names.note);
    case StreamStatus::Completed:
    case StreamStatus::Cancelled:
        break;
    }
    return {};
}

namespace {

// The message for a replacing write that stopped at step, when the rewrite itself had not said why.
std::optional<std::string> StepFailure(const ReplaceOutcome& written, const ReplaceNames& names) {
    const std::string reason = ": " + ErrorText(written.error) + ".";
    switch (written.stopped) {
    case ReplaceStep::Create:
        return "Error: Cannot create " + names.target + reason + names.createNote;
    case ReplaceStep::Close:
        return "Error: Cannot write " + names.target + reason + names.note;
    case ReplaceStep::Place:
        return "Error: Cannot create " + names.target + reason + names.note;
    case ReplaceStep::Write: // the rewrite stopped, and said why
    case ReplaceStep::Done:
        break;
    }
    return std::nullopt;
}

} // namespace

ReplaceResult RewriteReplacing(ByteReader& in, const ReplaceTarget& target, std::span<const RewriteRules> families,
                               const StreamOptions& options, const ReplaceNames& names) {
    ReplaceResult result;
    const auto rewrite = [&](std::FILE* file) {
        result.created = true;
        if (target.bufferSize != 0) {
            std::setvbuf(file, nullptr, _IOFBF, target.bufferSize);
        }
        FileWriter writer(file);
        StreamResult streamed = RewriteStream(in, writer, families, options);
        result.status = streamed.status;
        if (const Result<void> failure = StreamFailure(streamed, names); !failure) {
            result.error = failure.error();
        }
        result.report = std::move(streamed.report);
        if (result.status == StreamStatus::Completed && target.input != nullptr &&
            target.input->changed(result.report.bytesRead)) {
            result.status = StreamStatus::ReadFailed;
            result.error =
                "Error: " + names.source + " changed while it was being read; nothing was written.";
        }
        return result.status == StreamStatus::Completed ? std::error_code()
                                                        : std::make_error_code(std::errc::operation_canceled);
    };
    ReplaceOptions placing;
    placing.modeFrom = target.modeFrom;
    placing.check = ReplaceOptions::Check{target.expected, target.keepOld};
    const ReplaceOutcome written = WriteFileReplacing(target.path, rewrite, placing);
    result.placement = written.placement;
    if (auto failure = StepFailure(written, names)) {
        result.error = std::move(failure);
    } else if (written.stopped == ReplaceStep::Done && result.placement.targetChanged) {
        result.error = "Error: " + names.target + " was written by another program while " + names.source +
                       " was being processed; it was kept, and the new netlist was written to " +
                       QuotedPath(result.placement.keptNew) + " instead.";
    }
    return result;
}

} // namespace tarvex
