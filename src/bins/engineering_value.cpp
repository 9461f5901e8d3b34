// SPDX-License-Identifier: MIT
#include "bins/engineering_value.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <optional>
#include <system_error>

namespace tarvex {
namespace {

bool IsCSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool IsHexDigit(char c) { return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

char ToUpperAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

std::string_view UpToNul(std::string_view text) { return text.substr(0, text.find('\0')); }

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

bool ContainsMeg(std::string_view text) {
    for (std::size_t i = 0; i + 3 <= text.size(); ++i) {
        if (ToUpperAscii(text[i]) == 'M' && ToUpperAscii(text[i + 1]) == 'E' && ToUpperAscii(text[i + 2]) == 'G') {
            return true;
        }
    }
    return false;
}

// Applies the scale suffixes found anywhere in text (compared without regard to ASCII case).
double ApplySuffixes(double value, std::string_view text) {
    if (ContainsMeg(text)) {
        return value * 1e6;
    }
    // One pass records which suffix letters occur; the factors then apply in their fixed order.
    enum : unsigned { kT = 1, kG = 2, kK = 4, kM = 8, kU = 16, kN = 32, kP = 64, kF = 128 };
    unsigned seen = 0;
    for (const char c : text) {
        switch (ToUpperAscii(c)) {
        case 'T': seen |= kT; break;
        case 'G': seen |= kG; break;
        case 'K': seen |= kK; break;
        case 'M': seen |= kM; break;
        case 'U': seen |= kU; break;
        case 'N': seen |= kN; break;
        case 'P': seen |= kP; break;
        case 'F': seen |= kF; break;
        default: break;
        }
    }
    if (seen == 0) {
        return value;
    }
    static constexpr double kFactors[] = {1e12, 1e9, 1e3, 1e-3, 1e-6, 1e-9, 1e-12, 1e-15};
    for (unsigned bit = 0; bit < 8; ++bit) {
        if (seen & (1u << bit)) {
            value *= kFactors[bit];
        }
    }
    return value;
}

} // namespace

double ParseLeadingNumber(std::string_view text) {
    text = UpToNul(text);
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
        magnitude = ParseUnsigned(rest.substr(2), std::chars_format::hex).value_or(0.0);
    } else {
        magnitude = ParseUnsigned(rest, std::chars_format::general);
    }
    // Without a number nothing was converted, and atof returns a plain 0 whatever the sign said.
    if (!magnitude) {
        return 0.0;
    }
    return negative ? -*magnitude : *magnitude;
}

std::string FormatG(double value) {
    char buffer[64];
    const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 6);
    return ec == std::errc() ? std::string(buffer, end) : std::string();
}

double ParseNetlistValue(std::string_view token) {
    token = UpToNul(token);
    return ApplySuffixes(ParseLeadingNumber(token), token.substr(0, token.find(' ')));
}

FieldValue ParseFieldValue(std::string_view text) {
    text = UpToNul(text.substr(0, kFieldTextLength));
    if (text.empty()) {
        return {};
    }
    return {ApplySuffixes(ParseLeadingNumber(text), text), true};
}

std::string ShowFieldValue(double value) { return value == 0.0 ? std::string() : FormatG(value); }

} // namespace tarvex
