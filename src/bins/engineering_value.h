// SPDX-License-Identifier: MIT
// Engineering values: numbers with SPICE scale suffixes ("0.5u", "2MEG", "10k"), parsed and shown
// independently of the process locale.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tarvex {

// Longest token taken after "L=" or "W=" in a netlist line, and longest text read from a bound field.
inline constexpr std::size_t kNetlistTokenLength = 20;
inline constexpr std::size_t kFieldTextLength = 19;

// The leading number of text exactly as the C library's atof reads it in the "C" locale: leading
// white space, sign, decimal or hexadecimal digits, exponent, "inf"/"infinity"/"nan"; 0 when there
// is none, ±HUGE_VAL on overflow. Reading stops at a NUL byte. Never consults the process locale.
double ParseLeadingNumber(std::string_view text);

// True when atof would read a number from the start of text: after white space and a sign, a digit,
// a '.' before a digit, or "inf" or "nan" in any letter case. "{p}", "" and "-x" hold none.
bool StartsWithNumber(std::string_view text);

// printf("%g") of value as the "C" locale prints it ("1e-06", "0.00025", "inf"), whatever the
// process locale is.
std::string FormatG(double value);

// The value of the text that follows "L=" or "W=" in a netlist line. Only the text before the first
// space (and before a NUL) is examined for suffixes: "MEG" alone scales by 1e6, otherwise each of
// T G K M U N P F found anywhere applies once, compounding ("3UM" is 3e-9; M is milli).
double ParseNetlistValue(std::string_view token);

struct NetlistValue {
    double value = 0.0;
    bool hasNumber = false; // StartsWithNumber(token): "L={p}" reads as 0 but holds none
};

// ParseNetlistValue and StartsWithNumber of one token in one reading, for the rewrite of a line.
NetlistValue ReadNetlistValue(std::string_view token);

struct FieldValue {
    double value = 0.0;
    bool present = false; // false only for an empty field
};

// The bound typed into a form field: its first kFieldTextLength bytes, with the same suffix rules
// as ParseNetlistValue except that spaces do not cut the text ("1 U" is 1e-6 here, 1 in a netlist).
FieldValue ParseFieldValue(std::string_view text);

// The field text for a bound: empty for 0, so that an empty field and a zero bound are the same;
// otherwise FormatG.
std::string ShowFieldValue(double value);

} // namespace tarvex
