// SPDX-License-Identifier: MIT
#include "rewrite/reader_rewrite.h"

#include "text/byte_scan.h"

#include <algorithm>
#include <array>
#include <string>
#include <vector>

namespace tarvex {
namespace {

// Chunks of the context pass: large, as it only looks at line starts.
constexpr std::size_t kContextChunk = std::size_t{1} << 20;

// Reads all of in into text, growing it as it fills.
std::error_code ReadAll(ByteReader& in, std::string& text) {
    text.clear();
    std::array<char, 16384> block;
    for (;;) {
        const ReadResult read = in.read(block);
        if (read.error) {
            return read.error;
        }
        if (read.size == 0) {
            return {};
        }
        text.append(block.data(), read.size);
    }
}

StreamResult ReadFailed(std::error_code error) {
    StreamResult failed;
    failed.status = StreamStatus::ReadFailed;
    failed.error = error;
    return failed;
}

} // namespace

StreamResult RewriteText(std::string_view text, ByteWriter& out, std::span<const RewriteRules> families,
                         const SizeReader& reader, const StreamOptions& options) {
    MemoryReader in(text);
    return RewriteWithReader(in, out, families, reader, options);
}

StreamResult RewriteStreamSpice(ByteReader& in, ByteWriter& out, std::span<const RewriteRules> families,
                                const StreamOptions& options) {
    if (in.rewind()) {
        // A file: its context in one pass, then the devices in a second.
        Result<SpiceContext> context =
            CollectSpiceContext(in, options.tuning.chunkSize != 0 ? options.tuning.chunkSize : kContextChunk);
        if (!context) {
            return ReadFailed(context.code());
        }
        if (!in.rewind()) {
            return ReadFailed(std::make_error_code(std::errc::io_error));
        }
        const SpiceSizeReader reader(*context, options.sizes);
        return RewriteWithReader(in, out, families, reader, options);
    }
    // A pipe cannot be read twice: it is held in memory.
    std::string text;
    if (const std::error_code error = ReadAll(in, text)) {
        return ReadFailed(error);
    }
    const SpiceContext context = CollectSpiceContext(text);
    const SpiceSizeReader reader(context, options.sizes);
    MemoryReader again(text);
    return RewriteWithReader(again, out, families, reader, options);
}

std::uint64_t CountReadAsSpice(std::string_view text, std::span<const std::uint64_t> lines) {
    if (lines.empty()) {
        return 0;
    }
    const SpiceContext context = CollectSpiceContext(text);
    const SpiceSizeReader reader(context, SizeOptions{SizeRule::Spice, std::nullopt, false});
    LogicalLine device;
    DeviceSizes sizes;
    std::uint64_t count = 0;
    std::uint64_t line = 1;
    std::size_t start = 0; // where line starts
    for (const std::uint64_t wanted : lines) {
        while (line < wanted && start < text.size()) {
            start = LineEndAfter(text, start);
            ++line;
        }
        if (line != wanted || start >= text.size()) {
            break;
        }
        std::size_t next = 0;
        const std::size_t end = PhysicalLineEnd(text, start, next);
        reader.deviceAt(text, 0, start, device);
        // A comment or blank line between a device's lines is no part of it.
        const bool part =
            std::any_of(device.pieces.begin(), device.pieces.end(),
                        [&](const LinePiece& piece) { return piece.begin >= start && piece.begin <= end; });
        if (part) {
            reader.read(text, device, 0, sizes);
            count += sizes.isDevice && sizes.problem.empty() ? 1 : 0;
        }
    }
    return count;
}

std::uint64_t CountReadAsSpice(ByteReader& in, std::span<const std::uint64_t> lines) {
    std::string text;
    if (lines.empty() || ReadAll(in, text)) {
        return 0;
    }
    return CountReadAsSpice(text, lines);
}

std::string SpiceHint(std::uint64_t devices, std::string_view how) {
    return std::to_string(devices) +
           (devices == 1 ? " device gives its sizes" : " devices give their sizes") +
           " as SPICE does (l=, + lines, {expressions}): try " + std::string(how);
}

} // namespace tarvex
