// SPDX-License-Identifier: MIT
#include "rewrite/reader_rewrite.h"

#include "text/byte_scan.h"

#include <algorithm>
#include <string>
#include <vector>

namespace tarvex {
namespace {

constexpr std::size_t kFlushSize = std::size_t{1} << 20;

struct KeyCursor {
    std::string_view key;
    std::size_t family = 0;
    Polarity polarity = Polarity::N;
    std::size_t next = std::string_view::npos; // the next occurrence at or after the last device
};

struct Replacement {
    std::size_t at;
    std::size_t size;
    std::string_view name;
};

// Looks the sizes up in the family's table: the outcome, the bins and the part name.
void Resolve(const DeviceSizes& sizes, const BinTable& table, DeviceEvent& event) {
    event.sizes = &sizes;
    event.length = sizes.length.value;
    event.width = sizes.widthUsed;
    event.hasLength = sizes.length.readable();
    event.hasWidth = sizes.width.readable();
    if (!sizes.isDevice) {
        event.outcome = DeviceOutcome::NotADevice;
        return;
    }
    if (sizes.problem.empty()) {
        event.widthBin = FindBin(table.widthBounds, sizes.widthUsed);
        event.lengthBin = FindBin(table.lengthBounds, sizes.length.value);
    }
    if (!event.widthBin || !event.lengthBin) {
        event.outcome = DeviceOutcome::NoBin;
        return;
    }
    event.partName = PartName(table, *event.widthBin, *event.lengthBin);
    event.outcome = event.partName.empty() ? DeviceOutcome::MissingName : DeviceOutcome::Replaced;
}

class Writer {
public:
    Writer(ByteWriter& out, const StreamOptions& options, RunReport& report)
        : m_out(out), m_options(options), m_report(report) {}

    // False when the write failed or the run was cancelled (status says which).
    bool append(std::string_view bytes, std::uint64_t readSoFar) {
        m_buffer.append(bytes);
        return m_buffer.size() < kFlushSize || flush(readSoFar);
    }

    bool flush(std::uint64_t readSoFar) {
        m_report.bytesWritten += m_buffer.size();
        if (const std::error_code error = m_out.write(m_buffer)) {
            m_error = error;
            m_status = StreamStatus::WriteFailed;
            return false;
        }
        m_buffer.clear();
        if (m_options.onProgress && !m_options.onProgress(readSoFar)) {
            m_status = StreamStatus::Cancelled;
            return false;
        }
        return true;
    }

    bool finish() {
        m_report.bytesWritten += m_buffer.size();
        std::error_code error = m_out.write(m_buffer);
        if (!error) {
            error = m_out.flush();
        }
        if (error) {
            m_error = error;
            m_status = StreamStatus::WriteFailed;
            return false;
        }
        return true;
    }

    StreamStatus status() const { return m_status; }
    std::error_code error() const { return m_error; }

private:
    ByteWriter& m_out;
    const StreamOptions& m_options;
    RunReport& m_report;
    std::string m_buffer;
    StreamStatus m_status = StreamStatus::Completed;
    std::error_code m_error;
};

bool Within(const LogicalLine& device, std::size_t at, std::size_t size) {
    return std::any_of(device.pieces.begin(), device.pieces.end(),
                       [&](const LinePiece& piece) { return at >= piece.begin && at + size <= piece.end; });
}

// Reads all of in into text.
std::error_code ReadAll(ByteReader& in, std::string& text) {
    text.resize(std::size_t{1} << 16);
    for (std::size_t size = 0;;) {
        if (size == text.size()) {
            text.resize(size * 2);
        }
        const ReadResult read = in.read({text.data() + size, text.size() - size});
        if (read.error) {
            return read.error;
        }
        size += read.size;
        if (read.size == 0) {
            text.resize(size);
            return {};
        }
    }
}

} // namespace

StreamResult RewriteText(std::string_view text, ByteWriter& out, std::span<const RewriteRules> families,
                         const SizeReader& reader, const StreamOptions& options) {
    StreamResult result;
    RunReport& report = result.report;
    report.bytesRead = text.size();
    Writer writer(out, options, report);
    std::vector<KeyCursor> keys;
    for (std::size_t family = 0; family < families.size(); ++family) {
        keys.push_back({families[family].keyN, family, Polarity::N});
        keys.push_back({families[family].keyP, family, Polarity::P});
    }
    for (KeyCursor& cursor : keys) {
        cursor.next = cursor.key.empty() ? std::string_view::npos : text.find(cursor.key);
    }
    LogicalLine device;
    DeviceSizes sizes;
    std::vector<DeviceEvent> events;
    std::vector<std::size_t> eventAt; // where each event's Key stands
    std::vector<Replacement> replacements;
    std::size_t written = 0;
    std::size_t floor = 0;
    std::uint64_t linesBefore = 0; // line ends in text[0, floor)
    const auto fail = [&] {
        result.status = writer.status();
        result.error = writer.error();
        return result;
    };
    for (;;) {
        const std::size_t hit =
            std::min_element(keys.begin(), keys.end(), [](const KeyCursor& a, const KeyCursor& b) {
                return a.next < b.next;
            })->next;
        if (hit == std::string_view::npos) {
            break;
        }
        reader.deviceAt(text, floor, hit, device);
        reader.read(text, device, 0, sizes);
        if (!Within(device, hit, 1)) {
            // A Key on a comment or blank line between a device's lines: that line is no device.
            device.begin = LineStartBefore(text, floor, hit);
            device.end = LineEndAfter(text, hit);
            device.pieces.assign(1, {device.begin, device.end});
            sizes = DeviceSizes();
            sizes.isDevice = false;
            sizes.problem = "not a device";
        }
        events.clear();
        eventAt.clear();
        replacements.clear();
        for (KeyCursor& cursor : keys) {
            std::size_t at = cursor.next;
            while (at < device.end && !Within(device, at, cursor.key.size())) {
                at = text.find(cursor.key, at + 1);
            }
            if (at < device.end) {
                const RewriteRules& rules = families[cursor.family];
                DeviceEvent& event = events.emplace_back();
                event.family = cursor.family;
                event.polarity = cursor.polarity;
                Resolve(sizes, cursor.polarity == Polarity::N ? rules.tableN : rules.tableP, event);
                eventAt.push_back(at);
                if (event.outcome == DeviceOutcome::Replaced) {
                    replacements.push_back({at, cursor.key.size(), event.partName});
                }
            }
            cursor.next = cursor.next < device.end && !cursor.key.empty() ? text.find(cursor.key, device.end)
                                                                            : cursor.next;
        }
        std::sort(replacements.begin(), replacements.end(),
                  [](const Replacement& a, const Replacement& b) { return a.at < b.at; });
        for (const Replacement& replacement : replacements) {
            if (replacement.at < written) {
                continue; // overlaps a Key replaced before it
            }
            if (!writer.append(text.substr(written, replacement.at - written), replacement.at) ||
                !writer.append(replacement.name, replacement.at)) {
                return fail();
            }
            written = replacement.at + replacement.size;
        }
        linesBefore += CountLineEnds(text.substr(floor, device.begin - floor));
        for (std::size_t i = 0; i < events.size(); ++i) {
            const DeviceEvent& event = events[i];
            switch (event.outcome) {
            case DeviceOutcome::Replaced:
                ++report.devicesReplaced;
                break;
            case DeviceOutcome::MissingName:
                ++report.devicesMissingName;
                break;
            case DeviceOutcome::NoBin:
                ++report.devicesNoBin;
                break;
            case DeviceOutcome::NotADevice:
                ++report.keysNotOnDevice;
                break;
            }
            const bool kept = event.outcome == DeviceOutcome::MissingName || event.outcome == DeviceOutcome::NoBin;
            if (kept && !report.firstProblem) {
                report.firstProblem = ProblemMessage(event);
            }
            if (options.onDevice && (kept || !options.keptOnly)) {
                const std::uint64_t line =
                    linesBefore + CountLineEnds(text.substr(device.begin, eventAt[i] - device.begin)) + 1;
                options.onDevice(line, event);
            }
        }
        linesBefore += CountLineEnds(text.substr(device.begin, device.end - device.begin));
        floor = device.end;
    }
    if (!writer.append(text.substr(written), text.size()) || !writer.finish()) {
        return fail();
    }
    linesBefore += CountLineEnds(text.substr(floor));
    const bool unterminated = !text.empty() && text.back() != '\n' && text.back() != '\r';
    report.lines = linesBefore + (unterminated ? 1 : 0);
    return result;
}

StreamResult RewriteStreamSpice(ByteReader& in, ByteWriter& out, std::span<const RewriteRules> families,
                                const StreamOptions& options) {
    std::string text;
    if (const std::error_code error = ReadAll(in, text)) {
        StreamResult failed;
        failed.status = StreamStatus::ReadFailed;
        failed.error = error;
        return failed;
    }
    const SpiceContext context = CollectSpiceContext(text);
    const SpiceSizeReader reader(context, options.sizes);
    return RewriteText(text, out, families, reader, options);
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
