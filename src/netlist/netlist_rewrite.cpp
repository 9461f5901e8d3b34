// SPDX-License-Identifier: MIT
#include "netlist/netlist_rewrite.h"

#include "netlist/byte_scan.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <memory>

namespace tarvex {
namespace {

constexpr std::size_t kChunkSize = std::size_t{1} << 20;
constexpr std::size_t kOutputBufferSize = std::size_t{1} << 20;

bool IsLineEnd(char c) {
    return c == '\n' || c == '\r';
}

// Offset just past the last complete line end in data[0, size), looking no further back than from;
// 0 when there is none. A "\r" on the last byte may be the start of "\r\n", so it only counts at
// the end of the input.
std::size_t CompleteLinesEnd(const char* data, std::size_t from, std::size_t size, bool atEnd) {
    if (atEnd) {
        return size;
    }
    for (std::size_t j = size; j > from; --j) {
        const char c = data[j - 1];
        if (c == '\n' || (c == '\r' && j < size)) {
            return j;
        }
    }
    return 0;
}

// Offset just past the line end that follows pos (or data.size()). memchr finds the next "\n";
// a "\r" before it ends the line there unless it is the "\r" of "\r\n".
std::size_t LineEnd(std::string_view data, std::size_t pos) {
    const char* const base = data.data();
    const auto* newline = static_cast<const char*>(std::memchr(base + pos, '\n', data.size() - pos));
    const std::size_t limit = newline ? static_cast<std::size_t>(newline - base) : data.size();
    const auto* cr = static_cast<const char*>(std::memchr(base + pos, '\r', limit - pos));
    if (cr && cr + 1 != newline) {
        return static_cast<std::size_t>(cr - base) + 1;
    }
    return newline ? limit + 1 : limit;
}

class StreamRewriter {
public:
    StreamRewriter(ByteWriter& out, const RewriteRules& rules, const StreamOptions& options)
        : m_out(out), m_rules(rules), m_options(options), m_scanner(rules.keyN, rules.keyP) {
        m_pending.reserve(kOutputBufferSize);
    }

    // Rewrites data, which holds complete lines only (or the tail of the input). Runs of lines
    // without a Key are copied as they are; the scanner jumps straight to the next Key.
    void processLines(std::string_view data) {
        if (data.empty()) {
            return;
        }
        // Lines are counted in one pass per chunk; a device's own line number is only worked out
        // when someone asks for it.
        m_chunk = data;
        m_chunkLines = m_report.lines;
        m_countedTo = 0;
        m_report.lines += CountLineEnds(data);
        m_openLine = !IsLineEnd(data.back());

        std::size_t pos = 0;
        while (pos < data.size() && m_writeOk) {
            const std::size_t hit = pos + m_scanner.find(data.substr(pos));
            if (hit >= data.size()) {
                put(data.substr(pos));
                return;
            }
            const std::size_t start = LineStartBefore(data, pos, hit);
            const std::size_t end = LineEnd(data, hit);
            put(data.substr(pos, start - pos));
            rewriteDeviceLine(start, data.substr(start, end - start), hit - start);
            pos = end;
        }
    }

    // Counts an unterminated last line; flushes everything. False when a write failed.
    bool finish() {
        if (m_openLine) {
            ++m_report.lines;
        }
        flushPending();
        return m_writeOk && m_out.flush();
    }

    bool writeOk() const { return m_writeOk; }
    RunReport& report() { return m_report; }

private:
    // The 1-based number of the line starting at offset start of the current chunk.
    std::uint64_t lineNumberAt(std::size_t start) {
        m_chunkLines += CountLineEnds(m_chunk.substr(m_countedTo, start - m_countedTo));
        m_countedTo = start;
        return m_chunkLines + 1;
    }

    void put(std::string_view bytes) {
        if (m_pending.size() + bytes.size() > kOutputBufferSize) {
            flushPending();
        }
        if (bytes.size() >= kOutputBufferSize / 4) {
            // Written straight through, so what is buffered must go first.
            flushPending();
            write(bytes);
        } else {
            m_pending.append(bytes);
        }
    }

    // hit is where the scanner found the first Key of the line; no Key begins before it.
    void rewriteDeviceLine(std::size_t start, std::string_view line, std::size_t hit) {
        const auto firstFrom = [&](const std::string& key) {
            return line.substr(hit).starts_with(key) ? hit : line.find(key, hit + 1);
        };
        const LineRewrite result =
            RewriteLineAt(line, firstFrom(m_rules.keyN), firstFrom(m_rules.keyP), m_rules, m_pending);
        const std::uint64_t lineNumber = m_options.onDevice ? lineNumberAt(start) : 0;
        if (result.n) {
            record(lineNumber, *result.n);
        }
        if (result.p) {
            record(lineNumber, *result.p);
        }
        if (m_pending.size() >= kOutputBufferSize) {
            flushPending();
        }
    }

    void record(std::uint64_t lineNumber, const DeviceEvent& event) {
        switch (event.outcome) {
        case DeviceOutcome::Replaced:
            ++m_report.devicesReplaced;
            break;
        case DeviceOutcome::MissingName:
            ++m_report.devicesMissingName;
            break;
        case DeviceOutcome::NoBin:
            ++m_report.devicesNoBin;
            break;
        }
        if (!m_report.firstProblem) {
            m_report.firstProblem = ProblemMessage(event);
        }
        if (m_options.onDevice) {
            m_options.onDevice(lineNumber, event);
        }
    }

    void write(std::string_view bytes) {
        if (m_writeOk && !m_out.write(bytes)) {
            m_writeOk = false;
        }
        m_report.bytesWritten += bytes.size();
    }

    void flushPending() {
        write(m_pending);
        m_pending.clear();
    }

    ByteWriter& m_out;
    const RewriteRules& m_rules;
    const StreamOptions& m_options;
    KeyScanner m_scanner;
    std::string m_pending;
    RunReport m_report;
    bool m_openLine = false;        // the input so far ends inside a line
    std::string_view m_chunk;       // the complete lines being processed
    std::uint64_t m_chunkLines = 0; // lines before m_chunk, plus those counted inside it so far
    std::size_t m_countedTo = 0;    // offset in m_chunk up to which lines are counted
    bool m_writeOk = true;
};

} // namespace

StreamResult RewriteStream(ByteReader& in, ByteWriter& out, const RewriteRules& rules,
                           const StreamOptions& options) {
    StreamRewriter rewriter(out, rules, options);
    std::size_t capacity = kChunkSize;
    auto buffer = std::make_unique_for_overwrite<char[]>(capacity);
    std::size_t size = 0;    // bytes held in buffer
    std::size_t scanned = 0; // bytes of buffer known to hold no complete line end
    bool atEnd = false;

    auto finish = [&](StreamStatus status) {
        StreamResult result;
        result.status = status;
        result.report = std::move(rewriter.report());
        return result;
    };

    while (!atEnd) {
        // Grow only when a single line no longer leaves room for a useful read.
        if (capacity - size < kChunkSize / 4) {
            const std::size_t grown = capacity * 2;
            auto bigger = std::make_unique_for_overwrite<char[]>(grown);
            std::memcpy(bigger.get(), buffer.get(), size);
            buffer = std::move(bigger);
            capacity = grown;
        }
        const std::optional<std::size_t> count = in.read({buffer.get() + size, capacity - size});
        if (!count) {
            return finish(StreamStatus::ReadFailed);
        }
        atEnd = *count == 0;
        size += *count;
        rewriter.report().bytesRead += *count;

        const std::size_t complete = CompleteLinesEnd(buffer.get(), scanned, size, atEnd);
        if (complete > 0) {
            rewriter.processLines({buffer.get(), complete});
            std::memmove(buffer.get(), buffer.get() + complete, size - complete);
            size -= complete;
        }
        // Only a held-back "\r" can end the carried bytes; everything before it has been scanned.
        scanned = size > 0 ? size - 1 : 0;
        if (!rewriter.writeOk()) {
            return finish(StreamStatus::WriteFailed);
        }
        if (options.onProgress && !options.onProgress(rewriter.report().bytesRead)) {
            return finish(StreamStatus::Cancelled);
        }
    }
    return finish(rewriter.finish() ? StreamStatus::Completed : StreamStatus::WriteFailed);
}

} // namespace tarvex
