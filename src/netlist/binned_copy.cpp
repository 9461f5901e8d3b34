// SPDX-License-Identifier: MIT
#include "netlist/binned_copy.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <vector>

namespace tarvex {
namespace {

constexpr std::size_t npos = std::string_view::npos;
constexpr std::size_t kReadSize = std::size_t{1} << 18;

// Hands out the lines of a byte stream, each with its line end; a line stays valid until the next
// call. The buffer holds at least one whole line, so it grows only for a line longer than a read.
class LineSource {
public:
    explicit LineSource(ByteReader& reader) : m_reader(reader), m_buffer(kReadSize) {}

    // The next line, or an empty view at the end; false on a read error (error() says which).
    bool next(std::string_view& line) {
        std::size_t scanned = m_begin;
        for (;;) {
            const std::size_t end = LineEnd(scanned);
            if (end != npos) {
                line = {m_buffer.data() + m_begin, end - m_begin};
                m_begin = end;
                return true;
            }
            if (m_atEnd) {
                line = {m_buffer.data() + m_begin, m_end - m_begin};
                m_begin = m_end;
                return true;
            }
            // A held-back "\r" may be followed by "\n": look at it again after the read.
            scanned = m_end - m_begin - (m_end > m_begin && m_buffer[m_end - 1] == '\r' ? 1 : 0);
            if (!refill()) {
                return false;
            }
        }
    }

    const std::error_code& error() const { return m_error; }

private:
    // Offset just past the line end of the line starting at m_begin, looking from scanned on, or
    // npos when the buffer holds no complete line yet.
    std::size_t LineEnd(std::size_t scanned) const {
        const char* data = m_buffer.data();
        const void* newline = std::memchr(data + scanned, '\n', m_end - scanned);
        const std::size_t limit =
            newline ? static_cast<std::size_t>(static_cast<const char*>(newline) - data) : m_end;
        const void* cr = std::memchr(data + scanned, '\r', limit - scanned);
        if (cr != nullptr) {
            const auto at = static_cast<std::size_t>(static_cast<const char*>(cr) - data);
            if (at + 1 < m_end) {
                return data[at + 1] == '\n' ? at + 2 : at + 1;
            }
            return m_atEnd ? at + 1 : npos;
        }
        return newline ? limit + 1 : npos;
    }

    // Moves the unread bytes to the front (m_begin becomes 0), grows the buffer when they leave less
    // than a read's room, and reads more.
    bool refill() {
        const std::size_t kept = m_end - m_begin;
        std::memmove(m_buffer.data(), m_buffer.data() + m_begin, kept);
        m_begin = 0;
        m_end = kept;
        if (m_buffer.size() - m_end < kReadSize) {
            m_buffer.resize(m_end + kReadSize);
        }
        const ReadResult read = m_reader.read({m_buffer.data() + m_end, m_buffer.size() - m_end});
        if (read.error) {
            m_error = read.error;
            return false;
        }
        m_atEnd = read.size == 0;
        m_end += read.size;
        return true;
    }

    ByteReader& m_reader;
    std::vector<char> m_buffer;
    std::size_t m_begin = 0;
    std::size_t m_end = 0;
    bool m_atEnd = false;
    std::error_code m_error;
};

} // namespace

bool DiffersOnlyAtKeys(std::string_view ant, std::string_view net, const RewriteRules& rules) {
    const std::size_t posN = ant.find(rules.keyN);
    const std::size_t posP = ant.find(rules.keyP);
    if (posN == npos && posP == npos) {
        return false;
    }
    std::size_t head = posP;
    std::size_t last = posP == npos ? 0 : ant.rfind(rules.keyP) + rules.keyP.size();
    if (posN != npos) {
        // A P Key that the inserted N part name forms with the bytes around it: it starts with the
        // k bytes in front of the N Key, or ends with the k bytes after it.
        const std::string_view keyP = rules.keyP;
        const std::size_t endN = posN + rules.keyN.size();
        std::size_t before = 0;
        std::size_t after = 0;
        for (std::size_t k = 1; k < keyP.size(); ++k) {
            if (k <= posN && ant.substr(posN - k, k) == keyP.substr(0, k)) {
                before = k;
            }
            if (k <= ant.size() - endN && ant.substr(endN, k) == keyP.substr(keyP.size() - k)) {
                after = k;
            }
        }
        head = std::min(head, posN - before);
        last = std::max({last, ant.rfind(rules.keyN) + rules.keyN.size(), endN + after});
    }
    const std::size_t tail = ant.size() - std::min(ant.size(), last);
    return net.size() >= head + tail && net.substr(0, head) == ant.substr(0, head) &&
           net.substr(net.size() - tail) == ant.substr(ant.size() - tail);
}

CopyComparison CompareWithBackup(ByteReader& ant, ByteReader& net, const RewriteRules& rules) {
    CopyComparison result;
    LineSource antLines(ant);
    LineSource netLines(net);
    std::string_view antLine;
    std::string_view netLine;
    for (;;) {
        if (!antLines.next(antLine)) {
            result.error = antLines.error();
            return result;
        }
        if (!netLines.next(netLine)) {
            result.error = netLines.error();
            result.errorInNet = true;
            return result;
        }
        if (antLine.empty() || netLine.empty()) {
            if (antLine.size() != netLine.size()) {
                result.relation = CopyRelation::Different;
            }
            return result;
        }
        if (antLine == netLine) {
            continue;
        }
        if (!DiffersOnlyAtKeys(antLine, netLine, rules)) {
            result.relation = CopyRelation::Different;
            return result;
        }
        result.relation = CopyRelation::BinnedCopy;
    }
}

} // namespace tarvex
