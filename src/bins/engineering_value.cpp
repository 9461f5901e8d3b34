// SPDX-License-Identifier: MIT
#include "bins/engineering_value.h"

#include "bins/number_reading.h"

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <optional>

namespace tarvex {
namespace {

using number::CommonToken;
using number::IsDigit;
using number::ParseLeading;
using number::ParseSimpleDecimal;
using number::ReadCommonToken;
using number::SimpleDecimal;
using number::ToUpperAscii;
using number::UpToNul;

bool ContainsMeg(std::string_view text) {
    for (std::size_t i = 0; i + 3 <= text.size(); ++i) {
        if (ToUpperAscii(text[i]) == 'M' && ToUpperAscii(text[i + 1]) == 'E' &&
            ToUpperAscii(text[i + 2]) == 'G') {
            return true;
        }
    }
    return false;
}

// Suffix letters in the order their factors apply; each byte of the table holds the bit of its
// letter (either case), so one pass over the text collects every letter present.
constexpr char kSuffixLetters[] = "TGKMUNPF";
constexpr double kSuffixFactors[] = {1e12, 1e9, 1e3, 1e-3, 1e-6, 1e-9, 1e-12, 1e-15};
constexpr unsigned kMilliBit = 1u << 3;

constexpr std::array<std::uint8_t, 256> kSuffixBits = [] {
    std::array<std::uint8_t, 256> bits{};
    for (unsigned i = 0; i < 8; ++i) {
        const auto upper = static_cast<unsigned char>(kSuffixLetters[i]);
        bits[upper] = static_cast<std::uint8_t>(1u << i);
        bits[upper + ('a' - 'A')] = static_cast<std::uint8_t>(1u << i);
    }
    return bits;
}();

// Applies the scale suffixes found anywhere in text (compared without regard to ASCII case):
// "MEG" alone, or else each letter once, in the fixed order, multiplying step by step so that the
// rounding is the same as applying them one after another.
double ApplySuffixes(double value, std::string_view text) {
    unsigned seen = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        seen |= kSuffixBits[static_cast<unsigned char>(text[i])];
    }
    if ((seen & kMilliBit) && ContainsMeg(text)) {
        return value * 1e6;
    }
    while (seen != 0) {
        value *= kSuffixFactors[std::countr_zero(seen)];
        seen &= seen - 1;
    }
    return value;
}

// ParseNetlistValue of a token the sixteen-byte reading leaves: the digit-by-digit path, then the
// full parser.
double ParseOtherToken(std::string_view token) {
    // An unsigned plain decimal at the very start holds no suffix letter, so only the bytes after
    // it up to the first space or NUL need to be looked at.
    const bool hex = token.size() > 1 && token[0] == '0' && (token[1] == 'x' || token[1] == 'X');
    if (!token.empty() && !hex && (IsDigit(token[0]) || token[0] == '.')) {
        if (const std::optional<SimpleDecimal> simple = ParseSimpleDecimal(token)) {
            std::size_t end = simple->length;
            while (end < token.size() && token[end] != ' ' && token[end] != '\0') {
                ++end;
            }
            return ApplySuffixes(simple->value, token.substr(simple->length, end - simple->length));
        }
    }
    // One pass finds where the C string ends (NUL) and where the examined text ends (first space).
    std::size_t end = 0;
    std::size_t cut = std::string_view::npos;
    for (; end < token.size() && token[end] != '\0'; ++end) {
        if (token[end] == ' ' && cut == std::string_view::npos) {
            cut = end;
        }
    }
    token = token.substr(0, end);
    return ApplySuffixes(ParseLeading(token), token.substr(0, cut));
}

} // namespace

double ParseNetlistValue(std::string_view token) {
    return ReadNetlistValue(token).value;
}

NetlistValue ReadNetlistValue(std::string_view token) {
    // The usual token: a digit (or a point and a digit) starts it, so it holds a number.
    const bool hex = token.size() > 1 && token[0] == '0' && (token[1] == 'x' || token[1] == 'X');
    if (!token.empty() && !hex && (IsDigit(token[0]) || token[0] == '.')) {
        if (const std::optional<CommonToken> common = ReadCommonToken(token)) {
            return {ApplySuffixes(common->value,
                                  token.substr(common->numberEnd, common->suffixEnd - common->numberEnd)),
                    true};
        }
    }
    return {ParseOtherToken(token), StartsWithNumber(token)};
}

FieldValue ParseFieldValue(std::string_view text) {
    text = UpToNul(text.substr(0, kFieldTextLength));
    if (text.empty()) {
        return {};
    }
    return {ApplySuffixes(ParseLeading(text), text), true};
}

std::string ShowFieldValue(double value) {
    return value == 0.0 ? std::string() : FormatG(value);
}

} // namespace tarvex
