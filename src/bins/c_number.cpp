// SPDX-License-Identifier: MIT
// Numbers read and printed as the C library does in the "C" locale (atof, printf "%g"), without
// consulting the process locale.
#include "bins/engineering_value.h"
#include "bins/number_reading.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <optional>
#include <system_error>

namespace tarvex {
namespace number {
namespace {

// from_chars leaves the value alone on a range error; decide from the text whether the number was
// too large (strtod gives HUGE_VAL) or too small (strtod gives 0). Only the order of magnitude
// matters, since a range error needs an exponent beyond ±300.
bool Overflows(std::string_view number, bool hex) {
    const char exponentMark = hex ? 'p' : 'e';
    const std::int64_t digitWeight = hex ? 4 : 1;
    std::size_t i = 0;
    std::int64_t magnitude = 0;
    bool seenNonZero = false;
    bool seenPoint = false;
    for (; i < number.size(); ++i) {
        const char c = number[i];
        if (c == '.') {
            seenPoint = true;
            continue;
        }
        if (!(hex ? IsHexDigit(c) : IsDigit(c))) {
            break;
        }
        if (c != '0') {
            seenNonZero = true;
        }
        if (!seenPoint && seenNonZero) {
            magnitude += digitWeight;
        } else if (seenPoint && !seenNonZero) {
            magnitude -= digitWeight;
        }
    }
    if (i < number.size() && ToUpperAscii(number[i]) == ToUpperAscii(exponentMark)) {
        ++i;
        bool negative = false;
        if (i < number.size() && (number[i] == '+' || number[i] == '-')) {
            negative = number[i] == '-';
            ++i;
        }
        std::int64_t exponent = 0;
        for (; i < number.size() && IsDigit(number[i]); ++i) {
            if (exponent < 1'000'000'000) {
                exponent = exponent * 10 + (number[i] - '0');
            }
        }
        magnitude += negative ? -exponent : exponent;
    }
    return magnitude > 0;
}

// Parses an unsigned number (no sign left in front of it) in the given format; nothing when the
// text does not start with one.
std::optional<double> ParseUnsigned(std::string_view text, std::chars_format format) {
    if (text.empty() || text.front() == '-' || text.front() == '+') {
        return std::nullopt;
    }
    double value = 0.0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, format);
    if (ec == std::errc::result_out_of_range) {
        const std::string_view matched(text.data(), static_cast<std::size_t>(end - text.data()));
        return Overflows(matched, format == std::chars_format::hex) ? HUGE_VAL : 0.0;
    }
    if (ec != std::errc()) {
        return std::nullopt;
    }
    return value;
}

// The hex number after "0x", cut where strtod would stop but from_chars would not: empty without
// a hex digit ("0xinf" is 0 to strtod, not infinity), and cut before a 'p' that does not start a
// valid binary exponent ("0x2p+-1" is 2).
std::string_view HexNumberText(std::string_view text) {
    std::size_t i = 0;
    bool anyDigit = false;
    while (i < text.size() && (IsHexDigit(text[i]) || text[i] == '.')) {
        anyDigit = anyDigit || text[i] != '.';
        ++i;
    }
    if (!anyDigit) {
        return {};
    }
    if (i < text.size() && (text[i] == 'p' || text[i] == 'P')) {
        std::size_t j = i + 1;
        if (j < text.size() && (text[j] == '+' || text[j] == '-')) {
            ++j;
        }
        if (j >= text.size() || !IsDigit(text[j])) {
            return text.substr(0, i);
        }
    }
    return text;
}

} // namespace

double ParseLeading(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && IsCSpace(text[i])) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    const std::string_view rest = text.substr(i);
    std::optional<double> magnitude;
    if (rest.size() >= 2 && rest[0] == '0' && (rest[1] == 'x' || rest[1] == 'X')) {
        // "0x" without hex digits after it reads as the number 0, as strtod does.
        magnitude = ParseUnsigned(HexNumberText(rest.substr(2)), std::chars_format::hex).value_or(0.0);
    } else {
        magnitude = ParseUnsigned(rest, std::chars_format::general);
    }
    // Without a number nothing was converted, and atof returns a plain 0 whatever the sign said.
    if (!magnitude) {
        return 0.0;
    }
    return negative ? -*magnitude : *magnitude;
}

} // namespace number

using number::IsCSpace;
using number::IsDigit;
using number::ParseLeading;
using number::ToUpperAscii;
using number::UpToNul;

double ParseLeadingNumber(std::string_view text) {
    return ParseLeading(UpToNul(text));
}

bool StartsWithNumber(std::string_view text) {
    text = UpToNul(text);
    std::size_t i = 0;
    while (i < text.size() && IsCSpace(text[i])) {
        ++i;
    }
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        ++i;
    }
    const std::string_view rest = text.substr(i);
    if (!rest.empty() && IsDigit(rest[0])) {
        return true;
    }
    if (rest.size() >= 2 && rest[0] == '.' && IsDigit(rest[1])) {
        return true;
    }
    if (rest.size() < 3) {
        return false;
    }
    const char word[] = {ToUpperAscii(rest[0]), ToUpperAscii(rest[1]), ToUpperAscii(rest[2])};
    const std::string_view upper(word, 3);
    return upper == "INF" || upper == "NAN";
}

std::string FormatG(double value) {
    char buffer[64];
    const auto [end, ec] =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 6);
    return ec == std::errc() ? std::string(buffer, end) : std::string();
}

} // namespace tarvex
