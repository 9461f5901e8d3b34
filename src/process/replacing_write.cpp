// SPDX-License-Identifier: MIT
#include "process/replacing_write.h"

#include "files/paths.h"
#include "files/replacement_file.h"

#include <cstdio>
#include <utility>

namespace tarvex {

std::optional<std::string> StreamFailure(const StreamResult& result, const ReplaceNames& names) {
    switch (result.status) {
    case StreamStatus::ReadFailed:
        return "Error: Cannot read " + names.source + ": " + ErrorText(result.error) + "." + names.note;
    case StreamStatus::WriteFailed:
        return "Error: Cannot write " + names.target + ": " + ErrorText(result.error) + "." + names.note;
    case StreamStatus::Completed:
    case StreamStatus::Cancelled:
        break;
    }
    return std::nullopt;
}

ReplaceResult RewriteReplacing(ByteReader& in, const ReplaceTarget& target, std::span<const RewriteRules> families,
                               const StreamOptions& options, const ReplaceNames& names) {
    ReplaceResult result;
    ReplacementFile file(target.path, target.modeFrom);
    if (!file.file()) {
        result.error =
            "Error: Cannot create " + names.target + ": " + ErrorText(file.error()) + "." + names.createNote;
        return result;
    }
    result.created = true;
    if (target.bufferSize != 0) {
        std::setvbuf(file.file(), nullptr, _IOFBF, target.bufferSize);
    }
    FileWriter writer(file.file());
    StreamResult streamed = RewriteStream(in, writer, families, options);
    result.status = streamed.status;
    result.error = StreamFailure(streamed, names);
    result.report = std::move(streamed.report);
    if (result.status != StreamStatus::Completed) {
        return result;
    }
    if (target.input != nullptr && target.input->changed(result.report.bytesRead)) {
        result.status = StreamStatus::ReadFailed;
        result.error = "Error: " + names.source + " changed while it was being read; nothing was written.";
        return result;
    }
    if (const std::error_code error = file.close()) {
        result.error = "Error: Cannot write " + names.target + ": " + ErrorText(error) + "." + names.note;
        return result;
    }
    result.placement = file.commit(target.expected, target.keepOld);
    if (result.placement.error) {
        result.error = "Error: Cannot create " + names.target + ": " + ErrorText(result.placement.error) + "." +
                       names.note;
    } else if (result.placement.targetChanged) {
        result.error = "Error: " + names.target + " was written by another program while " + names.source +
                       " was being processed; it was kept, and the new netlist was written to " +
                       QuotedPath(result.placement.keptNew) + " instead.";
    }
    return result;
}

} // namespace tarvex
