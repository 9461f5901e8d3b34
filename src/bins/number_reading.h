// SPDX-License-Identifier: MIT
// The fast reading of the plain decimals that make up nearly every netlist size, shared by the
// C-style number reader and the engineering values. Inline, since it is the hot path of a rewrite.
#pragma once

#include "text/byte_vectors.h"

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string_view>

namespace tarvex::number {

inline bool IsCSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

inline bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

inline bool IsHexDigit(char c) {
    return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

inline char ToUpperAscii(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

inline std::string_view UpToNul(std::string_view text) {
    return text.substr(0, text.find('\0'));
}

inline constexpr std::uint64_t kPowersOfTenInteger[] = {1,
                                                        10,
                                                        100,
                                                        1000,
                                                        10000,
                                                        100000,
                                                        1000000,
                                                        10000000,
                                                        100000000,
                                                        1000000000,
                                                        10000000000,
                                                        100000000000,
                                                        1000000000000,
                                                        10000000000000,
                                                        100000000000000,
                                                        1000000000000000,
                                                        10000000000000000,
                                                        100000000000000000,
                                                        1000000000000000000,
                                                        10000000000000000000ULL};

inline constexpr double kPowersOfTenDouble[] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8};

// The eight digit values in the bytes of lanes (the first, most significant, in the lowest byte)
// as a number: pairs, then fours, then eights of digits are combined by multiplication.
inline std::uint64_t EightDigits(std::uint64_t lanes) {
    lanes = lanes * 10 + (lanes >> 8);
    return (((lanes & 0x000000FF000000FFULL) * (100 + (1000000ULL << 32))) +
            (((lanes >> 16) & 0x000000FF000000FFULL) * (1 + (10000ULL << 32)))) >>
           32;
}

// Reads the decimal digits at p (moving p past them) and returns their value, which is only
// meaningful for up to 19 digits. Eight bytes are looked at together: the number of leading digits
// and their value come from a few word operations instead of a loop whose length the branch
// predictor cannot guess.
inline std::uint64_t ReadDigits(const char*& p, const char* end) {
    std::uint64_t value = 0;
    for (;;) {
        const auto available = static_cast<std::size_t>(end - p);
        if (available == 0) {
            return value;
        }
        std::uint64_t word = 0;
        if (available >= 8) {
            std::memcpy(&word, p, 8);
        } else {
            for (std::size_t i = 0; i < available; ++i) {
                word |= std::uint64_t{static_cast<unsigned char>(p[i])} << (8 * i);
            }
        }
        if constexpr (std::endian::native == std::endian::big) {
            if (available >= 8) {
                word = __builtin_bswap64(word);
            }
        }
        // A byte is a digit when its high nibble is 3 and adding 6 leaves it there. A carry out of a
        // byte comes only from a non-digit, so it cannot disturb the digits before it.
        constexpr std::uint64_t kHigh = 0xF0F0F0F0F0F0F0F0ULL;
        constexpr std::uint64_t kThrees = 0x3030303030303030ULL;
        const std::uint64_t notDigit =
            ((word & kHigh) ^ kThrees) | (((word + 0x0606060606060606ULL) & kHigh) ^ kThrees);
        const auto count = std::min<std::size_t>(
            notDigit == 0 ? 8 : static_cast<std::size_t>(std::countr_zero(notDigit)) / 8, available);
        if (count == 0) {
            return value;
        }
        // The digits, less '0', moved to the top bytes so that the bytes below read as leading
        // zeros.
        std::uint64_t lanes = word - kThrees;
        if (count < 8) {
            lanes = (lanes & ((std::uint64_t{1} << (8 * count)) - 1)) << (8 * (8 - count));
        }
        value = value * kPowersOfTenInteger[count] + EightDigits(lanes);
        p += count;
        if (count < 8) {
            return value;
        }
    }
}

struct SimpleDecimal {
    double value;
    std::size_t length; // bytes of text that make up the number
};

// Plain decimals whose digits form an integer below 2^53 and whose decimal exponent lies within
// ±22, which is nearly every size in a netlist: the digits and the power of ten are both exact
// doubles, so one multiplication or division rounds exactly as strtod does (Clinger's fast path).
// Anything else (long mantissas, big exponents, hex, inf, nan, no digits) returns nothing and
// takes the full parser.
inline std::optional<SimpleDecimal> ParseSimpleDecimal(std::string_view text) {
    static constexpr double kPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                              1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                              1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
    const char* const begin = text.data();
    const char* const end = begin + text.size();
    const char* p = begin;
    std::uint64_t mantissa = ReadDigits(p, end);
    std::ptrdiff_t digits = p - begin;
    std::ptrdiff_t exponent = 0;
    if (p < end && *p == '.') {
        const char* const fraction = ++p;
        const std::uint64_t fractionDigits = ReadDigits(p, end);
        exponent = fraction - p;
        digits += p - fraction;
        // Up to 19 digits the sum fits; more are refused just below.
        mantissa =
            mantissa * kPowersOfTenInteger[std::min<std::ptrdiff_t>(p - fraction, 19)] + fractionDigits;
    }
    // 19 digits cannot overflow the accumulator; the 2^53 limit below is the real one.
    if (digits == 0 || digits > 19) {
        return std::nullopt;
    }
    if (p + 1 < end && (*p == 'e' || *p == 'E')) {
        const char* q = p + 1;
        const bool negative = *q == '-';
        if (*q == '+' || *q == '-') {
            ++q;
        }
        if (q < end && IsDigit(*q)) {
            long written = 0;
            for (; q < end && IsDigit(*q); ++q) {
                if (written > 1000) {
                    return std::nullopt;
                }
                written = written * 10 + (*q - '0');
            }
            exponent += negative ? -written : written;
            p = q;
        }
    }
    const auto length = static_cast<std::size_t>(p - begin);
    if (mantissa == 0) {
        return SimpleDecimal{0.0, length};
    }
    if (mantissa > (std::uint64_t{1} << 53) || exponent < -22 || exponent > 22) {
        return std::nullopt;
    }
    const auto value = static_cast<double>(mantissa);
    return SimpleDecimal{exponent < 0 ? value / kPowersOfTen[-exponent] : value * kPowersOfTen[exponent],
                         length};
}

struct CommonToken {
    double value;
    std::size_t numberEnd; // where the suffix letters start
    std::size_t suffixEnd; // the first space or NUL after them, or the end of the token
};

// The value of the count (at most 8) digits at p, which has 8 bytes to read: the bytes after
// them are shifted out, the digits into the top bytes so that the bytes below read as leading zeros.
inline std::uint64_t DigitsAt(const char* p, std::size_t count) {
    std::uint64_t word = 0;
    std::memcpy(&word, p, 8);
    if constexpr (std::endian::native == std::endian::big) {
        word = __builtin_bswap64(word);
    }
    const std::uint64_t lanes = count == 0 ? 0 : (word ^ 0x3030303030303030ULL) << (8 * (8 - count));
    return EightDigits(lanes);
}

// The usual netlist token, read from its first sixteen bytes without a loop over its digits: an
// unsigned plain decimal of at most 8 + 8 digits without exponent ("0.35", "2", ".5"), then suffix
// letters up to a space or NUL. Nothing for any other token, which the digit-by-digit path reads.
// The value is the one ParseSimpleDecimal gives: the digits as one exact integer divided by an exact
// power of ten.
inline std::optional<CommonToken> ReadCommonToken(std::string_view token) {
    using vectors::BitMask;
    using vectors::Splat;
    // A shorter token reads as if NUL-padded, and a NUL ends it anyway. The digits are read eight
    // bytes at a time from anywhere in the first sixteen.
    // A token of at least 17 bytes is read where it stands (the digit loads reach its 17th byte);
    // a shorter one from a NUL-padded copy.
    char padded[16 + 8];
    const char* bytes = token.data();
    if (token.size() < 17) {
        std::memset(padded, 0, sizeof padded);
        std::memcpy(padded, token.data(), token.size());
        bytes = padded;
    }
    const vectors::Bytes16 v = vectors::Load(bytes);
    const unsigned digit = BitMask((v >= Splat('0')) & (v <= Splat('9')));
    const unsigned stop = BitMask((v == Splat(' ')) | (v == Splat('\0')));

    const auto integerDigits = static_cast<std::size_t>(std::countr_one(digit));
    if (integerDigits > 8) {
        return std::nullopt;
    }
    std::size_t fractionDigits = 0;
    std::size_t numberEnd = integerDigits;
    if (bytes[integerDigits] == '.') {
        fractionDigits = static_cast<std::size_t>(std::countr_one(digit >> (integerDigits + 1)));
        numberEnd = integerDigits + 1 + fractionDigits;
    }
    if (integerDigits + fractionDigits == 0 || fractionDigits > 8 || numberEnd >= 16 ||
        bytes[numberEnd] == 'e' || bytes[numberEnd] == 'E') {
        return std::nullopt;
    }
    const std::uint64_t mantissa = DigitsAt(bytes, integerDigits) * kPowersOfTenInteger[fractionDigits] +
                                   DigitsAt(bytes + integerDigits + 1, fractionDigits);

    const unsigned stopsAfter = stop >> numberEnd << numberEnd;
    std::size_t suffixEnd = stopsAfter != 0 ? static_cast<std::size_t>(std::countr_zero(stopsAfter)) : 16;
    while (suffixEnd < token.size() && token[suffixEnd] != ' ' && token[suffixEnd] != '\0') {
        ++suffixEnd;
    }
    const double value =
        mantissa == 0 ? 0.0 : static_cast<double>(mantissa) / kPowersOfTenDouble[fractionDigits];
    return CommonToken{value, numberEnd, std::min(suffixEnd, token.size())};
}

// The atof reading of text, which holds no NUL.
double ParseLeading(std::string_view text);

} // namespace tarvex::number
