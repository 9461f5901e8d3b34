// SPDX-License-Identifier: MIT
#include "netlist/byte_scan.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>

namespace tarvex {
namespace {

// A portable 16-byte vector (SSE2 on x86-64, NEON on ARM, plain code elsewhere).
using Bytes16 = unsigned char __attribute__((vector_size(16)));
using Mask16 = signed char __attribute__((vector_size(16)));

Bytes16 Load(const char* p) {
    Bytes16 v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

Bytes16 Splat(char c) {
    const auto b = static_cast<unsigned char>(c);
    return Bytes16{b, b, b, b, b, b, b, b, b, b, b, b, b, b, b, b};
}

// Bit i set when lane i of mask is set (each lane is 0 or all ones): the high bit of each byte of
// a half is gathered into its top byte by one multiplication.
unsigned BitMask(Mask16 mask) {
    std::uint64_t halves[2];
    std::memcpy(halves, &mask, sizeof halves);
    constexpr std::uint64_t kHighBits = 0x8080808080808080ULL;
    constexpr std::uint64_t kGather = 0x0002040810204081ULL;
    const auto low = static_cast<unsigned>(((halves[0] & kHighBits) * kGather) >> 56);
    const auto high = static_cast<unsigned>(((halves[1] & kHighBits) * kGather) >> 56);
    return low | (high << 8);
}

bool IsLineEnd(char c) {
    return c == '\n' || c == '\r';
}

} // namespace

KeyScanner::KeyScanner(std::string_view keyN, std::string_view keyP)
    : m_keyN(keyN), m_keyP(keyP), m_reach(std::max(keyN.size(), keyP.size())) {}

bool KeyScanner::matchesAt(std::string_view data, std::size_t pos) const {
    const std::string_view rest = data.substr(pos);
    return rest.starts_with(m_keyN) || rest.starts_with(m_keyP);
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

    std::size_t pos = 0;
    // Every load of a block stays inside data: the last-byte loads reach m_reach - 1 bytes further.
    for (; pos + 16 + m_reach - 1 <= data.size(); pos += 16) {
        const Bytes16 block = Load(base + pos);
        const Mask16 candidates = ((block == firstN) & (Load(base + pos + offsetN) == lastN)) |
                                  ((block == firstP) & (Load(base + pos + offsetP) == lastP));
        for (unsigned lanes = BitMask(candidates); lanes != 0; lanes &= lanes - 1) {
            const std::size_t at = pos + static_cast<std::size_t>(std::countr_zero(lanes));
            if (matchesAt(data, at)) {
                return at;
            }
        }
    }
    for (; pos < data.size(); ++pos) {
        if (matchesAt(data, pos)) {
            return pos;
        }
    }
    return data.size();
}

std::size_t LineStartBefore(std::string_view data, std::size_t floor, std::size_t pos) {
    const Bytes16 newline = Splat('\n');
    const Bytes16 carriageReturn = Splat('\r');
    while (pos - floor >= 16) {
        const Bytes16 block = Load(data.data() + pos - 16);
        const unsigned ends = BitMask((block == newline) | (block == carriageReturn));
        if (ends != 0) {
            return pos - 16 + static_cast<std::size_t>(std::bit_width(ends));
        }
        pos -= 16;
    }
    while (pos > floor && !IsLineEnd(data[pos - 1])) {
        --pos;
    }
    return pos;
}

// Counts "\n" and every "\r" not followed by "\n", 16 bytes at a time: one pass, with no call per
// line (netlists have millions of short lines).
std::uint64_t CountLineEnds(std::string_view data) {
    const Bytes16 newline = Splat('\n');
    const Bytes16 carriageReturn = Splat('\r');
    const char* const base = data.data();
    std::uint64_t count = 0;
    std::size_t pos = 0;
    // Each lane counts its own line ends (a set mask lane is -1) and the lanes are summed before any
    // can pass 255. The look-ahead load reads one byte past the block, so the loop stops a byte short.
    while (pos + 17 <= data.size()) {
        Bytes16 lanes{};
        for (int blocks = 0; blocks < 255 && pos + 17 <= data.size(); ++blocks, pos += 16) {
            const Bytes16 block = Load(base + pos);
            const Bytes16 next = Load(base + pos + 1);
            const Mask16 ends = (block == newline) | ((block == carriageReturn) & ~(next == newline));
            lanes -= reinterpret_cast<const Bytes16&>(ends);
        }
        for (int lane = 0; lane < 16; ++lane) {
            count += lanes[lane];
        }
    }
    for (; pos < data.size(); ++pos) {
        if (data[pos] == '\n' || (data[pos] == '\r' && (pos + 1 == data.size() || data[pos + 1] != '\n'))) {
            ++count;
        }
    }
    return count;
}

} // namespace tarvex
