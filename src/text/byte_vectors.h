// SPDX-License-Identifier: MIT
// 16-byte vectors for the byte scans of the parsers and of the streaming rewrite: GCC and Clang
// vector extensions, which become SSE2 on x86-64, NEON on ARM and plain code elsewhere.
#pragma once

#include <cstdint>
#include <cstring>

namespace tarvex::vectors {

using Bytes16 = unsigned char __attribute__((vector_size(16)));
using Mask16 = signed char __attribute__((vector_size(16))); // lanes of 0 or all ones

inline Bytes16 Load(const char* p) {
    Bytes16 v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

inline Bytes16 Splat(char c) {
    const auto b = static_cast<unsigned char>(c);
    return Bytes16{b, b, b, b, b, b, b, b, b, b, b, b, b, b, b, b};
}

// Bit i set when lane i of mask is set. SSE2 has an instruction for it; elsewhere the high bit of
// each byte of a half is gathered into its top byte by one multiplication.
inline unsigned BitMask(Mask16 mask) {
#if defined(__SSE2__)
    using Chars16 = char __attribute__((vector_size(16)));
    return static_cast<unsigned>(__builtin_ia32_pmovmskb128(reinterpret_cast<Chars16>(mask)));
#else
    std::uint64_t halves[2];
    std::memcpy(halves, &mask, sizeof halves);
    constexpr std::uint64_t kHighBits = 0x8080808080808080ULL;
    constexpr std::uint64_t kGather = 0x0002040810204081ULL;
    const auto low = static_cast<unsigned>(((halves[0] & kHighBits) * kGather) >> 56);
    const auto high = static_cast<unsigned>(((halves[1] & kHighBits) * kGather) >> 56);
    return low | (high << 8);
#endif
}

} // namespace tarvex::vectors
