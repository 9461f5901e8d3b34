// SPDX-License-Identifier: MIT
#include "text/byte_scan.h"

#include "text/byte_vectors.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>

namespace tarvex {
namespace {

using vectors::BitMask;
using vectors::Bytes16;
using vectors::Load;
using vectors::Mask16;
using vectors::Splat;

// Sum of the 16 lanes.
std::uint64_t SumLanes(Bytes16 lanes) {
#if defined(__SSE2__)
    using Chars16 = char __attribute__((vector_size(16)));
    const auto halves = __builtin_ia32_psadbw128(reinterpret_cast<Chars16>(lanes), Chars16{});
    return static_cast<std::uint64_t>(halves[0] + halves[1]);
#else
    std::uint64_t sum = 0;
    for (int lane = 0; lane < 16; ++lane) {
        sum += lanes[lane];
    }
    return sum;
#endif
}

// How far ahead of a sequential pass its bytes are asked for.
constexpr std::size_t kPrefetchDistance = 4096;

// 16 zero bytes then 16 bytes of all ones: loading from kLanesFrom + 16 - n keeps lanes n and up.
constexpr char kLanesFrom[32] = {0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,
                                 -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1};

bool IsLineEnd(char c) {
    return c == '\n' || c == '\r';
}

// Lanes of the 16 bytes at p that end a line: "\n", and "\r" unless a "\n" follows it (the pair ends
// one line, counted at its "\n"). A set lane is all ones. Reads one byte past the block.
Bytes16 LineEndLanes(const char* p) {
    const Bytes16 block = Load(p);
    const Mask16 newline = block == Splat('\n');
    return reinterpret_cast<Bytes16>(newline | ((block == Splat('\r')) & ~(Load(p + 1) == Splat('\n'))));
}

} // namespace

// Offset of the first '\n' or '\r' at or after pos, or data.size() when there is none.
std::size_t FirstLineEndByte(std::string_view data, std::size_t pos) {
    const Bytes16 newline = Splat('\n');
    const Bytes16 carriageReturn = Splat('\r');
    for (; pos + 16 <= data.size(); pos += 16) {
        const Bytes16 block = Load(data.data() + pos);
        const unsigned ends = BitMask((block == newline) | (block == carriageReturn));
        if (ends != 0) {
            return pos + static_cast<std::size_t>(std::countr_zero(ends));
        }
    }
    while (pos < data.size() && !IsLineEnd(data[pos])) {
        ++pos;
    }
    return pos;
}

// Offset just after the last line-end byte in data[floor, pos), or floor when there is none: the
// start of the line that holds pos. Looks back from pos, over the bytes of that line only.
std::size_t LineStartBefore(std::string_view data, std::size_t floor, std::size_t pos) {
    const auto endsBefore = [&](std::size_t end) {
        const Bytes16 block = Load(data.data() + end - 16);
        return BitMask((block == Splat('\n')) | (block == Splat('\r')));
    };
    for (; pos - floor >= 16; pos -= 16) {
        if (const unsigned ends = endsBefore(pos); ends != 0) {
            return pos - 16 + static_cast<std::size_t>(std::bit_width(ends));
        }
    }
    if (pos >= 16) {
        // The block that ends at pos reaches below floor; its lanes there are left out.
        const unsigned ends = endsBefore(pos) >> (16 - (pos - floor)) << (16 - (pos - floor));
        return ends != 0 ? pos - 16 + static_cast<std::size_t>(std::bit_width(ends)) : floor;
    }
    while (pos > floor && !IsLineEnd(data[pos - 1])) {
        --pos;
    }
    return pos;
}

std::size_t NextLineStartingWith(std::string_view data, std::size_t pos, char first) {
    const auto startsHere = [&](std::size_t at) {
        const char c = data[at];
        return (at == 0 || IsLineEnd(data[at - 1])) &&
               (c == first || c == ' ' || c == '\t' || c == '\f' || c == '\v');
    };
    if (pos == 0 && !data.empty() && startsHere(0)) {
        return 0;
    }
    pos = std::max<std::size_t>(pos, 1);
    const Bytes16 newline = Splat('\n');
    const Bytes16 carriageReturn = Splat('\r');
    // Lanes at p: the byte before p ends a line, and the byte at p may start what is looked for.
    for (; pos + 16 <= data.size(); pos += 16) {
        const Bytes16 before = Load(data.data() + pos - 1);
        const Bytes16 here = Load(data.data() + pos);
        const Mask16 lineStart = (before == newline) | (before == carriageReturn);
        const Mask16 wanted = (here == Splat(first)) | (here == Splat(' ')) | (here == Splat('\t')) |
                              (here == Splat('\f')) | (here == Splat('\v'));
        if (const unsigned lanes = BitMask(lineStart & wanted); lanes != 0) {
            return pos + static_cast<std::size_t>(std::countr_zero(lanes));
        }
    }
    for (; pos < data.size(); ++pos) {
        if (startsHere(pos)) {
            return pos;
        }
    }
    return data.size();
}

std::size_t LineEndAfter(std::string_view data, std::size_t pos) {
    const std::size_t end = FirstLineEndByte(data, pos);
    if (end == data.size()) {
        return end;
    }
    return data[end] == '\r' && end + 1 < data.size() && data[end + 1] == '\n' ? end + 2 : end + 1;
}

KeyScanner::KeyScanner(std::string_view keyN, std::string_view keyP)
    : m_keyN(keyN), m_keyP(keyP), m_reach(std::max(keyN.size(), keyP.size())), m_shortKeys(m_reach <= 16) {
    if (m_shortKeys) {
        std::memcpy(m_blockN, keyN.data(), keyN.size());
        std::memcpy(m_blockP, keyP.data(), keyP.size());
        m_lanesN = (1u << keyN.size()) - 1;
        m_lanesP = (1u << keyP.size()) - 1;
    }
}

KeyPositions KeyScanner::keysAt(std::string_view data, std::size_t pos, std::size_t limit) const {
    constexpr std::size_t npos = std::string_view::npos;
    KeyPositions found;
    if (m_shortKeys && pos + 16 <= data.size()) {
        const Bytes16 block = Load(data.data() + pos);
        const bool isN = (BitMask(block == Load(m_blockN)) & m_lanesN) == m_lanesN;
        const bool isP = (BitMask(block == Load(m_blockP)) & m_lanesP) == m_lanesP;
        found.n = isN && pos + m_keyN.size() <= limit ? pos : npos;
        found.p = isP && pos + m_keyP.size() <= limit ? pos : npos;
        return found;
    }
    const std::string_view rest = data.substr(pos, limit - pos);
    found.n = rest.starts_with(m_keyN) ? pos : npos;
    found.p = rest.starts_with(m_keyP) ? pos : npos;
    return found;
}

std::size_t KeyScanner::find(std::string_view data) const {
    if (m_keyN.empty() || m_keyP.empty()) {
        return 0;
    }
    const Bytes16 firstN = Splat(m_keyN.front());
    const Bytes16 lastN = Splat(m_keyN.back());
    const Bytes16 firstP = Splat(m_keyP.front());
    const Bytes16 lastP = Splat(m_keyP.back());
    const std::size_t offsetN = m_keyN.size() - 1;
    const std::size_t offsetP = m_keyP.size() - 1;
    const char* const base = data.data();
    // Candidates in the block at pos: both the first and the last byte of a Key match.
    const auto candidatesAt = [&](std::size_t pos) {
        const Bytes16 block = Load(base + pos);
        return BitMask(((block == firstN) & (Load(base + pos + offsetN) == lastN)) |
                       ((block == firstP) & (Load(base + pos + offsetP) == lastP)));
    };
    const auto firstMatch = [&](std::size_t pos, unsigned lanes) {
        for (; lanes != 0; lanes &= lanes - 1) {
            const std::size_t at = pos + static_cast<std::size_t>(std::countr_zero(lanes));
            if (const KeyPositions keys = keysAt(data, at, data.size()); keys.n == at || keys.p == at) {
                return at;
            }
        }
        return data.size();
    };

    // Every load of a block stays inside data: the last-byte loads reach m_reach - 1 bytes further.
    const std::size_t span = 16 + m_reach - 1;
    std::size_t pos = 0;
    // Two blocks per step with one test for both, since nearly every block has no candidate.
    const auto scanBlocks = [&](auto candidates) {
        for (; pos + 16 + span <= data.size(); pos += 32) {
            const unsigned low = candidates(pos);
            const unsigned high = candidates(pos + 16);
            if ((low | high) == 0) {
                continue;
            }
            if (const std::size_t at = firstMatch(pos, low); at < data.size()) {
                return at;
            }
            if (const std::size_t at = firstMatch(pos + 16, high); at < data.size()) {
                return at;
            }
        }
        for (; pos + span <= data.size(); pos += 16) {
            if (const std::size_t at = firstMatch(pos, candidates(pos)); at < data.size()) {
                return at;
            }
        }
        return data.size();
    };
    // Keys of one length that begin with the same byte (the usual pair, "MODxyN" and "MODxyP") share
    // the first-byte comparison and the last-byte load.
    const bool sharedEnds = offsetN == offsetP && m_keyN.front() == m_keyP.front();
    const std::size_t inBlocks = sharedEnds ? scanBlocks([&](std::size_t at) {
        const Bytes16 last = Load(base + at + offsetN);
        return BitMask((Load(base + at) == firstN) & ((last == lastN) | (last == lastP)));
    })
                                            : scanBlocks(candidatesAt);
    if (inBlocks < data.size()) {
        return inBlocks;
    }
    // The rest: one more block that ends at the end of data, without the positions already looked
    // at. It covers every position where the longer Key fits; only a shorter Key can start later.
    if (data.size() >= span) {
        const std::size_t start = data.size() - span;
        if (const std::size_t at = firstMatch(start, candidatesAt(start) >> (pos - start) << (pos - start));
            at < data.size()) {
            return at;
        }
        pos = start + 16;
    }
    return findOneByOne(data, pos);
}

std::size_t KeyScanner::findOneByOne(std::string_view data, std::size_t pos) const {
    for (const std::size_t shortest = std::min(m_keyN.size(), m_keyP.size()); pos + shortest <= data.size();
         ++pos) {
        if (const KeyPositions keys = keysAt(data, pos, data.size()); keys.n == pos || keys.p == pos) {
            return pos;
        }
    }
    return data.size();
}

SizeMarkers FindSizeMarkers(std::string_view line) {
    const Bytes16 letterL = Splat('L');
    const Bytes16 letterW = Splat('W');
    const Bytes16 equals = Splat('=');
    const char* const base = line.data();
    SizeMarkers markers;
    // Lanes where "L=" (first mask) and "W=" (second) begin in the block at pos.
    const auto take = [&](std::size_t pos, unsigned skip) {
        const Bytes16 block = Load(base + pos);
        const Mask16 marked = Load(base + pos + 1) == equals;
        const unsigned atL = BitMask((block == letterL) & marked) >> skip << skip;
        const unsigned atW = BitMask((block == letterW) & marked) >> skip << skip;
        if (markers.length == std::string_view::npos && atL != 0) {
            markers.length = pos + static_cast<std::size_t>(std::countr_zero(atL)) + 2;
        }
        if (markers.width == std::string_view::npos && atW != 0) {
            markers.width = pos + static_cast<std::size_t>(std::countr_zero(atW)) + 2;
        }
        return markers.length != std::string_view::npos && markers.width != std::string_view::npos;
    };
    std::size_t pos = 0;
    for (; pos + 17 <= line.size(); pos += 16) {
        if (take(pos, 0)) {
            return markers;
        }
    }
    if (line.size() >= 17) {
        // One more block ending at the last byte, without the lanes already looked at.
        const std::size_t start = line.size() - 17;
        take(start, static_cast<unsigned>(pos - start));
        return markers;
    }
    for (; pos + 1 < line.size(); ++pos) {
        if (line[pos + 1] == '=' && line[pos] == 'L' && markers.length == std::string_view::npos) {
            markers.length = pos + 2;
        }
        if (line[pos + 1] == '=' && line[pos] == 'W' && markers.width == std::string_view::npos) {
            markers.width = pos + 2;
        }
    }
    return markers;
}

// Counts "\n" and every "\r" not followed by "\n", 16 bytes at a time with a look-ahead load one
// byte further: one pass with no call per line, cheap for the short runs between device lines as
// well as for long ones. Each lane counts its own line ends (a set mask lane is -1) and the lanes
// are summed before any can pass 255.
std::uint64_t CountLineEnds(std::string_view data) {
    const char* const base = data.data();
    const std::size_t size = data.size();
    if (size == 0) {
        return 0;
    }
    std::uint64_t count = 0;
    Bytes16 lanes{};
    std::size_t pos = 0;
    for (int blocks = 1; pos + 17 <= size; pos += 16, ++blocks) {
        // The hardware prefetcher stops at page edges: asking a page ahead for each cache line
        // keeps the next page on its way.
        if (pos % 64 == 0) {
            __builtin_prefetch(base + pos + kPrefetchDistance);
        }
        lanes -= LineEndLanes(base + pos);
        if (blocks == 255) {
            count += SumLanes(lanes);
            lanes = Bytes16{};
            blocks = 0;
        }
    }
    // The bytes left before the last one: one more block that ends there, without the lanes
    // already counted.
    if (size >= 17) {
        const std::size_t start = size - 17;
        lanes -= LineEndLanes(base + start) & Load(kLanesFrom + 16 - (pos - start));
    } else {
        for (; pos + 1 < size; ++pos) {
            count += data[pos] == '\n' || (data[pos] == '\r' && data[pos + 1] != '\n');
        }
    }
    // The last byte has nothing after it: a "\r" there counts as lone.
    return count + SumLanes(lanes) + (IsLineEnd(data[size - 1]) ? 1 : 0);
}

LineWalk::Line LineWalk::lineAt(std::size_t pos) {
    Line line;
    line.start = walkTo(pos);
    line.splitsPair = line.start == pos && pos > 0 && m_text[pos - 1] == '\r' && m_text[pos] == '\n';
    line.index = m_ends + m_splitPairs;
    const std::size_t endByte = FirstLineEndByte(m_text, pos);
    if (endByte == m_text.size()) {
        line.end = m_at = endByte;
        return line;
    }
    const bool pair = m_text[endByte] == '\r' && endByte + 1 < m_text.size() && m_text[endByte + 1] == '\n';
    line.end = m_at = endByte + (pair ? 2 : 1);
    ++m_ends;
    return line;
}

std::uint64_t LineWalk::number(const Line& line) {
    if (!line.splitsPair) {
        return line.index;
    }
    if (m_splitCounted != line.start) {
        m_splitCounted = line.start;
        ++m_splitPairs;
    }
    return line.index + 1;
}

std::uint64_t LineWalk::lineEnds() {
    // The walk stands at the start of a line, so the rest holds whole "\r\n" pairs.
    m_ends += CountLineEnds(m_text.substr(m_at));
    m_at = m_text.size();
    return m_ends;
}

std::size_t LineWalk::walkTo(std::size_t to) {
    const char* const base = m_text.data();
    const std::size_t from = m_at;
    std::size_t pos = from;
    Bytes16 lanes{};
    // Blocks while the look-ahead byte of LineEndLanes lies in the text; each lane counts up to
    // 255 line ends before the lanes are summed.
    for (int blocks = 1; pos + 16 <= to && pos + 17 <= m_text.size(); pos += 16, ++blocks) {
        lanes -= LineEndLanes(base + pos);
        if (blocks == 255) {
            m_ends += SumLanes(lanes);
            lanes = Bytes16{};
            blocks = 0;
        }
    }
    m_ends += SumLanes(lanes);
    if (pos < to && pos + 17 <= m_text.size()) {
        // The last few bytes before to: one block with its lanes from to on left out.
        const unsigned ends =
            BitMask(reinterpret_cast<Mask16>(LineEndLanes(base + pos) & ~Load(kLanesFrom + 16 - (to - pos))));
        m_ends += static_cast<std::uint64_t>(std::popcount(ends));
    } else {
        for (; pos < to; ++pos) {
            m_ends += m_text[pos] == '\n' ||
                      (m_text[pos] == '\r' && (pos + 1 == m_text.size() || m_text[pos + 1] != '\n'));
        }
    }
    m_at = to;
    return LineStartBefore(m_text, from, to);
}

} // namespace tarvex
