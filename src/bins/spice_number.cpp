// SPDX-License-Identifier: MIT
#include "bins/spice_number.h"

#include <charconv>
#include <utility>

namespace tarvex {
namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

bool IsLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool StartsWithLower(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) {
        return false;
    }
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        if (Lower(text[i]) != prefix[i]) {
            return false;
        }
    }
    return true;
}

// The scale factor of the suffix that rest starts with (any letter case), with its length in used;
// 1 and 0 without one.
double SuffixFactor(std::string_view rest, std::size_t& used) {
    used = 0;
    if (StartsWithLower(rest, "meg")) {
        used = 3;
        return 1e6;
    }
    if (StartsWithLower(rest, "mil")) {
        used = 3;
        return 25.4e-6;
    }
    static constexpr std::pair<char, double> kSuffixes[] = {{'t', 1e12},  {'g', 1e9},  {'k', 1e3},
                                                            {'m', 1e-3},  {'u', 1e-6}, {'n', 1e-9},
                                                            {'p', 1e-12}, {'f', 1e-15}};
    for (const auto& [letter, factor] : kSuffixes) {
        if (!rest.empty() && Lower(rest[0]) == letter) {
            used = 1;
            return factor;
        }
    }
    return 1.0;
}

// Where the decimal of text starts (after a sign), or npos when text holds none there.
std::size_t DecimalStart(std::string_view text) {
    const std::size_t first = !text.empty() && (text[0] == '+' || text[0] == '-') ? 1 : 0;
    const bool digits =
        first < text.size() &&
        (IsDigit(text[first]) || (text[first] == '.' && first + 1 < text.size() && IsDigit(text[first + 1])));
    return digits ? first : std::string_view::npos;
}

} // namespace

std::optional<double> ParseSpiceNumber(std::string_view text) {
    // from_chars reads the "C" way whatever the process locale, and stops where the decimal ends (an
    // "e" without exponent digits is left to the suffix). It takes no leading '+', and would take
    // "inf" and "nan": the decimal must start with a digit, or a '.' and a digit.
    if (DecimalStart(text) == std::string_view::npos) {
        return std::nullopt;
    }
    const std::size_t start = text[0] == '+' ? 1 : 0;
    double value = 0.0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data() + start, end, value);
    if (error != std::errc()) {
        return std::nullopt;
    }
    const std::string_view rest = text.substr(static_cast<std::size_t>(stop - text.data()));
    std::size_t used = 0;
    const double factor = SuffixFactor(rest, used);
    for (std::size_t k = used; k < rest.size(); ++k) {
        if (!IsLetter(rest[k])) {
            return std::nullopt; // "1.2*x", "2u+1": an expression
        }
    }
    return value * factor;
}

std::size_t SpiceNumberLength(std::string_view text) {
    std::size_t i = DecimalStart(text);
    if (i == std::string_view::npos) {
        return 0;
    }
    while (i < text.size() && IsDigit(text[i])) {
        ++i;
    }
    if (i < text.size() && text[i] == '.') {
        ++i;
        while (i < text.size() && IsDigit(text[i])) {
            ++i;
        }
    }
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        std::size_t e = i + 1;
        if (e < text.size() && (text[e] == '+' || text[e] == '-')) {
            ++e;
        }
        if (e < text.size() && IsDigit(text[e])) {
            i = e;
            while (i < text.size() && IsDigit(text[i])) {
                ++i;
            }
        }
    }
    while (i < text.size() && IsLetter(text[i])) {
        ++i;
    }
    return i;
}

} // namespace tarvex
