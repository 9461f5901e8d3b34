// SPDX-License-Identifier: MIT
// The fuzz targets as plain functions, so that libFuzzer drives them in the fuzz build and the
// ordinary test suite replays the committed inputs through the very same checks. Each succeeds
// when every property holds, or fails with a description of the first one that did not.
#pragma once

#include "text/result.h"

#include <cstdint>
#include <span>

namespace tarvex::fuzz {

using Bytes = std::span<const std::uint8_t>;

// Any bytes as a netlist token and as a form field: both parsers agree with the literal C-library
// reading, ParseLeadingNumber with strtod, FormatG with printf("%g"), and a finite bound survives
// ShowFieldValue → ParseFieldValue → ShowFieldValue unchanged.
Result<void> CheckEngineeringValue(Bytes data);

// One to three families of Keys and tables, a read size, a chunk size and a thread count taken
// from the first bytes, the rest as the netlist: the streaming rewrite equals the line-by-line
// reference, keeps the line count and every byte outside the replaced Keys, reports the same devices
// (family, polarity, outcome) on the same lines, and gives exactly the same run on several threads
// as on one.
Result<void> CheckRewriteStream(Bytes data);

// Up to 4000 bytes as a settings file, in memory and through a real file: loading and saving is
// byte-exact for the first 1348 bytes (a shorter file reads as if padded with zeros), stable when
// repeated, and leaves the bytes after 1348 in place.
Result<void> CheckSettings(Bytes data);

// Up to four model-library files (split at "\n%%\n", including one another by the names f0.lib …
// f3.lib): reading never fails or loops, and a bin table built from a group passes the bounds check
// and holds each of the group's cards in exactly the cell of its bounds.
Result<void> CheckModelLibrary(Bytes data);

// The first byte chooses --per-finger and a scale, the rest is a netlist and an expression: the
// evaluator gives a finite value or a reason, every physical line leads back to the start of its
// logical line, and under the SPICE rule the output is the input with only the Keys replaced, and
// the same (output, devices, counts) when read from a pipe in chunks of 1 to 64 bytes on one or two
// threads.
Result<void> CheckSpiceSizes(Bytes data);

} // namespace tarvex::fuzz
