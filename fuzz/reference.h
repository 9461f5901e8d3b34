// SPDX-License-Identifier: MIT
// Slow, literal versions of the parsers and of the whole-netlist rewrite, written step by step
// with the C library, against which the optimised code is compared. They share no code with it
// except the bin lookup (FindBin, whose tolerance is the table's own rule) and the table layout.
#pragma once

#include "bins/engineering_value.h"
#include "rewrite/line_rewriter.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tarvex::fuzz {

// strtod of the text up to its first NUL, in the "C" locale.
double ReferenceAtof(std::string_view text);

// snprintf("%g") in the "C" locale.
std::string ReferenceFormatG(double value);

// The netlist token parser done the C way: atof, upper-case up to the first space (which ends
// the text), then strstr for "MEG" or strchr for each suffix letter in order.
double ReferenceNetlistValue(std::string_view token);

// The field parser done the C way: the first 19 bytes up to a NUL, empty → absent, else atof and
// the suffixes of the whole upper-cased text.
FieldValue ReferenceFieldValue(std::string_view text);

// True when a and b are the same double: the same bits, or both NaN with the same sign (a NaN's
// payload is never shown anywhere).
bool SameDouble(double a, double b);

// Splits text after every "\n", "\r\n" and lone "\r"; a last piece without a line end is a line
// too. Every piece keeps its line end.
std::vector<std::string_view> SplitLines(std::string_view text);

struct ReferenceEvent {
    std::uint64_t line = 0; // 1-based
    std::size_t family = 0;
    Polarity polarity = Polarity::N;
    DeviceOutcome outcome = DeviceOutcome::Replaced;

    bool operator==(const ReferenceEvent&) const = default;
};

struct ReferenceRun {
    std::string output;
    std::uint64_t lines = 0;
    std::vector<ReferenceEvent> events;
};

// Rewrites one line, whatever line ends it holds: a line holding a Key of any family gets L and W
// from 20 bytes after its first "L=" and "W="; then for each family in order, the first KeyN of
// the line as it stands is replaced by the N cell's name, then the first KeyP of the line as it now
// stands by the P cell's name. Its events are on line 1.
ReferenceRun ReferenceRewriteLine(std::string_view line, std::span<const RewriteRules> families);
ReferenceRun ReferenceRewriteLine(std::string_view line, const RewriteRules& rules);

// Rewrites a whole netlist, each line of SplitLines as ReferenceRewriteLine does.
ReferenceRun ReferenceRewrite(std::string_view netlist, std::span<const RewriteRules> families);
ReferenceRun ReferenceRewrite(std::string_view netlist, const RewriteRules& rules);

} // namespace tarvex::fuzz
