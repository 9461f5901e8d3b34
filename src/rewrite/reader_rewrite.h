// SPDX-License-Identifier: MIT
// The rewrite of a netlist held in memory through any size reader: each device found around a Key
// (a physical line, or a logical line with its "+" lines) is read once and its Keys replaced where
// they stand. The SPICE rule runs here; the classic rule has the streaming engine of its own.
#pragma once

#include "rewrite/netlist_rewrite.h"
#include "rewrite/size_reader.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace tarvex {

// Rewrites text to out with reader: for each device that holds a Key, its sizes are read once, then
// each family's N Key and P Key (the first occurrence of each in the device's lines as read) is
// replaced by its bin's part name, or kept. A Key on a line that is no device is kept and reported
// as NotADevice. Callbacks, counts and statuses are those of RewriteStream; onProgress is called
// about every MiB written.
StreamResult RewriteText(std::string_view text, ByteWriter& out, std::span<const RewriteRules> families,
                         const SizeReader& reader, const StreamOptions& options);

// The SPICE rule's run: reads all of in, collects its context (CollectSpiceContext) and rewrites it
// with a SpiceSizeReader made from options.sizes.
StreamResult RewriteStreamSpice(ByteReader& in, ByteWriter& out, std::span<const RewriteRules> families,
                                const StreamOptions& options);

// How many of the Keys at lines (1-based, ascending: RunReport::linesWithoutSize of a classic run over
// text) stand on a device whose L and W the SPICE rule reads: the classic rule's hint that the
// netlist writes its sizes as SPICE does. The SPICE rule's context is collected only when lines is
// not empty.
std::uint64_t CountReadAsSpice(std::string_view text, std::span<const std::uint64_t> lines);

// CountReadAsSpice over all of in, read again after a classic run; 0 when lines is empty or in
// cannot be read (the hint is advice, never a failure of the run).
std::uint64_t CountReadAsSpice(ByteReader& in, std::span<const std::uint64_t> lines);

// "412 devices give their sizes as SPICE does (l=, + lines, {expressions}): try --sizes spice", with
// how naming the way to choose the SPICE rule (the option, or the window's menu entry).
std::string SpiceHint(std::uint64_t devices, std::string_view how);

} // namespace tarvex
