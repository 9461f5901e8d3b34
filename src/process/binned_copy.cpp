// SPDX-License-Identifier: MIT
#include "process/binned_copy.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <vector>

namespace tarvex {
namespace {

constexpr std::size_t npos = std::string_view::npos;
constexpr std::size_t kFirstRead = std::size_t{1} << 12;
constexpr std::size_t kReadSize = std::size_t{1} << 18;

// Hands out the lines of a byte stream, each with its line end; a line stays valid until the next
// call. The buffer holds at least one whole line, so it grows only for a line longer than a read.
// Reads start small and double up to kReadSize, so a short netlist costs no large buffer.
class LineSource {
public:
    explicit LineSource(ByteReader& reader) : m_reader(reader), m_buffer(kFirstRead) {}

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
        if (m_buffer.size() - m_end < m_readSize) {
            m_buffer.resize(m_end + m_readSize);
        }
        const std::size_t room = m_buffer.size() - m_end;
        const ReadResult read = m_reader.read({m_buffer.data() + m_end, room});
        if (read.error) {
            m_error = read.error;
            return false;
        }
        // Reads grow only while they fill the room offered: a source that hands out a few bytes at a
        // time (a pipe, a short file) keeps a small buffer.
        if (read.size == room) {
            m_readSize = std::min(2 * m_readSize, kReadSize);
        }
        m_atEnd = read.size == 0;
        m_end += read.size;
        return true;
    }

    ByteReader& m_reader;
    std::size_t m_readSize = kFirstRead;
    std::vector<char> m_buffer;
    std::size_t m_begin = 0;
    std::size_t m_end = 0;
    bool m_atEnd = false;
    std::error_code m_error;
};

} // namespace

namespace {

// The Keys of the families in the order the rewrite replaces them: each family's N, then its P.
std::vector<std::string_view> KeysInOrder(std::span<const RewriteRules> families) {
    std::vector<std::string_view> keys;
    for (const RewriteRules& rules : families) {
        keys.push_back(rules.keyN);
        keys.push_back(rules.keyP);
    }
    return keys;
}

bool HoldsKey(std::string_view line, const std::vector<std::string_view>& keys) {
    for (const std::string_view key : keys) {
        if (line.find(key) != npos) {
            return true;
        }
    }
    return false;
}

// How many bytes around [pos, end) of line, at most, a later Key can take in when the part name
// inserted there forms it with them: the Key starts with the k bytes before pos, or ends with
// the k bytes after end.
void Margins(std::string_view line, std::size_t pos, std::size_t end, std::string_view later, std::size_t& before,
             std::size_t& after) {
    for (std::size_t k = 1; k < later.size(); ++k) {
        if (k <= pos && line.substr(pos - k, k) == later.substr(0, k)) {
            before = std::max(before, k);
        }
        if (k <= line.size() - end && line.substr(end, k) == later.substr(later.size() - k)) {
            after = std::max(after, k);
        }
    }
}

CopyRelation Compare(ByteReader& ant, ByteReader& net, std::span<const RewriteRules> families, bool whole,
                     NetlistComparison& result) {
    const std::vector<std::string_view> keys = KeysInOrder(families);
    LineSource antLines(ant);
    LineSource netLines(net);
    std::string_view antLine;
    std::string_view netLine;
    for (;;) {
        if (!antLines.next(antLine)) {
            result.error = antLines.error();
            return result.relation();
        }
        if (!netLines.next(netLine)) {
            result.error = netLines.error();
            result.errorInNet = true;
            return result.relation();
        }
        if (antLine.empty() && netLine.empty()) {
            return result.relation();
        }
        if (!result.netHoldsKey && HoldsKey(netLine, keys)) {
            result.netHoldsKey = true;
        }
        if (antLine == netLine) {
            continue;
        }
        result.identical = false;
        if (!antLine.empty() && !netLine.empty() && DiffersOnlyAtKeys(antLine, netLine, families)) {
            ++result.binnedLines;
            continue;
        }
        ++result.otherLines;
        if (!whole) {
            return result.relation();
        }
    }
}

} // namespace

bool DiffersOnlyAtKeys(std::string_view ant, std::string_view net, const RewriteRules& rules) {
    return DiffersOnlyAtKeys(ant, net, std::span<const RewriteRules>(&rules, 1));
}

bool DiffersOnlyAtKeys(std::string_view ant, std::string_view net, std::span<const RewriteRules> families) {
    const std::vector<std::string_view> keys = KeysInOrder(families);
    std::size_t head = npos;
    std::size_t last = 0;
    for (std::size_t i = 0; i < keys.size(); ++i) {
        const std::size_t pos = ant.find(keys[i]);
        if (pos == npos) {
            continue;
        }
        const std::size_t end = pos + keys[i].size();
        std::size_t before = 0;
        std::size_t after = 0;
        for (std::size_t j = i + 1; j < keys.size(); ++j) {
            Margins(ant, pos, end, keys[j], before, after);
        }
        head = std::min(head, pos - before);
        last = std::max({last, ant.rfind(keys[i]) + keys[i].size(), end + after});
    }
    if (head == npos) {
        return false;
    }
    const std::size_t tail = ant.size() - std::min(ant.size(), last);
    return net.size() >= head + tail && net.substr(0, head) == ant.substr(0, head) &&
           net.substr(net.size() - tail) == ant.substr(ant.size() - tail);
}

NetlistComparison CompareNetlists(ByteReader& ant, ByteReader& net, std::span<const RewriteRules> families) {
    NetlistComparison result;
    Compare(ant, net, families, true, result);
    return result;
}

CopyComparison CompareWithBackup(ByteReader& ant, ByteReader& net, const RewriteRules& rules) {
    NetlistComparison compared;
    CopyComparison result;
    result.relation = Compare(ant, net, std::span<const RewriteRules>(&rules, 1), false, compared);
    result.error = compared.error;
    result.errorInNet = compared.errorInNet;
    return result;
}

} // namespace tarvex
