// SPDX-License-Identifier: MIT
#include "netlist/netlist_rewrite.h"

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

// Finds a Key in a byte range. glibc's memmem is a fast two-way search; elsewhere a
// Boyer-Moore-Horspool searcher built once per run does the same job.
class KeyFinder {
public:
#if defined(__GLIBC__)
    explicit KeyFinder(std::string_view key) : m_key(key) {}
#else
    explicit KeyFinder(std::string_view key) : m_searcher(key.begin(), key.end()) {}
#endif

    // Offset of the first occurrence in data, or data.size() when there is none.
    std::size_t find(std::string_view data) const {
#if defined(__GLIBC__)
        const void* hit = memmem(data.data(), data.size(), m_key.data(), m_key.size());
        return hit ? static_cast<std::size_t>(static_cast<const char*>(hit) - data.data()) : data.size();
#else
        return static_cast<std::size_t>(std::search(data.begin(), data.end(), m_searcher) - data.begin());
#endif
    }

private:
#if defined(__GLIBC__)
    std::string_view m_key;
#else
    std::boyer_moore_horspool_searcher<std::string_view::const_iterator> m_searcher;
#endif
};

// Number of line ends in data: "\n", "\r\n" (once) and lone "\r". A "\r" on the last byte is lone:
// the caller never splits data between "\r" and "\n".
std::uint64_t CountLineEnds(std::string_view data) {
    std::uint64_t count = 0;
    const char* const end = data.data() + data.size();
    for (const char* p = data.data();
         (p = static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(end - p)))); ++p) {
        ++count;
    }
    for (const char* p = data.data();
         (p = static_cast<const char*>(std::memchr(p, '\r', static_cast<std::size_t>(end - p)))); ++p) {
        if (p + 1 == end || p[1] != '\n') {
            ++count;
        }
    }
    return count;
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

std::size_t LineStart(std::string_view data, std::size_t floor, std::size_t pos) {
    while (pos > floor && !IsLineEnd(data[pos - 1])) {
        --pos;
    }
    return pos;
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
        : m_out(out), m_rules(rules), m_options(options), m_findN(rules.keyN), m_findP(rules.keyP) {
        m_pending.reserve(kOutputBufferSize);
    }

    // Rewrites data, which holds complete lines only (or the tail of the input).
    void processLines(std::string_view data) {
        std::size_t pos = 0;
        std::size_t nextN = 0;
        std::size_t nextP = 0;
        bool nextKnown = false;
        while (pos < data.size() && m_writeOk) {
            if (!nextKnown || nextN < pos) {
                nextN = pos + m_findN.find(data.substr(pos));
            }
            if (!nextKnown || nextP < pos) {
                nextP = pos + m_findP.find(data.substr(pos));
            }
            nextKnown = true;
            const std::size_t hit = std::min(nextN, nextP);
            if (hit >= data.size()) {
                emitVerbatim(data.substr(pos));
                return;
            }
            const std::size_t start = LineStart(data, pos, hit);
            const std::size_t end = LineEnd(data, hit);
            emitVerbatim(data.substr(pos, start - pos));
            // The cached hits are the first occurrences at or after the line start; one that runs
            // past the line end cannot be followed by another inside the line.
            const auto inLine = [&](std::size_t at, std::size_t keySize) {
                return at + keySize <= end ? at - start : std::string_view::npos;
            };
            rewriteDeviceLine(data.substr(start, end - start), inLine(nextN, m_rules.keyN.size()),
                              inLine(nextP, m_rules.keyP.size()));
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
    void emitVerbatim(std::string_view bytes) {
        if (bytes.empty()) {
            return;
        }
        m_report.lines += CountLineEnds(bytes);
        m_openLine = !IsLineEnd(bytes.back());
        emit(bytes);
    }

    void emit(std::string_view bytes) {
        if (m_pending.size() + bytes.size() > kOutputBufferSize) {
            flushPending();
        }
        if (bytes.size() >= kOutputBufferSize / 4) {
            write(bytes);
        } else {
            m_pending.append(bytes);
        }
    }

    void rewriteDeviceLine(std::string_view line, std::size_t posN, std::size_t posP) {
        const std::uint64_t lineNumber = ++m_report.lines;
        m_openLine = false;
        const LineRewrite result = RewriteLineAt(line, posN, posP, m_rules, m_pending);
        for (const auto& event : {result.n, result.p}) {
            if (event) {
                record(lineNumber, *event);
            }
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
    KeyFinder m_findN;
    KeyFinder m_findP;
    std::string m_pending;
    RunReport m_report;
    bool m_openLine = false;
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
