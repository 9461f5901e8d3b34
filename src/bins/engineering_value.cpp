// SPDX-License-Identifier: MIT
#include "bins/engineering_value.h"

#include "bins/number_reading.h"

#include <array>
#include <bit>
#include <charconv>
#include <cstddef>
#include <cstdint>
#include <system_error>

namespace tarvex {
namespace {

using number::IsDigit;
using number::ParseLeading;
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

// The text up to its first space or NUL: the part of a netlist token whose suffixes count.
std::string_view UpToSpaceOrNul(std::string_view text) {
    std::size_t end = 0;
    while (end < text.size() && text[end] != ' ' && text[end] != '\0') {
        ++end;
    }
    return text.substr(0, end);
}

// ParseNetlistValue of a token that does not start with a plain decimal: the C reading of the text
// up to its first NUL, with the suffixes of the text up to its first space.
double ParseOtherToken(std::string_view token) {
    token = UpToNul(token);
    return ApplySuffixes(ParseLeading(token), UpToSpaceOrNul(token));
}

} // namespace

double ParseNetlistValue(std::string_view token) {
    return ReadNetlistValue(token).value;
}

NetlistValue ReadNetlistValue(std::string_view token) {
    // The usual token: a plain decimal read where it stands ("0.35u"), then suffix letters. It
    // starts with a digit (or a point and a digit), so it holds a number.
    const bool hex = token.size() > 1 && token[0] == '0' && (token[1] == 'x' || token[1] == 'X');
    if (!token.empty() && !hex && (IsDigit(token[0]) || token[0] == '.')) {
        double value = 0.0;
        const char* const end = token.data() + token.size();
        const auto [numberEnd, error] = std::from_chars(token.data(), end, value);
        if (error == std::errc()) {
            const std::string_view rest(numberEnd, static_cast<std::size_t>(end - numberEnd));
            return {ApplySuffixes(value, UpToSpaceOrNul(rest)), true};
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
