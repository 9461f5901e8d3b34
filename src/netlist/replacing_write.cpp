// SPDX-License-Identifier: MIT
#include "netlist/replacing_write.h"

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

ReplaceResult RewriteReplacing(ByteReader& in, const std::filesystem::path& target,
                               const std::filesystem::path& modeFrom, const RewriteRules& rules,
                               const StreamOptions& options, const ReplaceNames& names,
                               std::size_t bufferSize) {
    ReplaceResult result;
    ReplacementFile file(target, modeFrom);
    if (!file.file()) {
        result.error =
            "Error: Cannot create " + names.target + ": " + ErrorText(file.error()) + "." + names.createNote;
        return result;
    }
    result.created = true;
    if (bufferSize != 0) {
        std::setvbuf(file.file(), nullptr, _IOFBF, bufferSize);
    }
    FileWriter writer(file.file());
    StreamResult streamed = RewriteStream(in, writer, rules, options);
    result.status = streamed.status;
    result.error = StreamFailure(streamed, names);
    result.report = std::move(streamed.report);
    if (result.status != StreamStatus::Completed) {
        return result;
    }
    if (const std::error_code error = file.close()) {
        result.error = "Error: Cannot write " + names.target + ": " + ErrorText(error) + "." + names.note;
    } else if (const std::error_code moveError = file.moveIntoPlace()) {
        result.error =
            "Error: Cannot create " + names.target + ": " + ErrorText(moveError) + "." + names.note;
    }
    return result;
}

} // namespace tarvex
