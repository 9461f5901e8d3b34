// SPDX-License-Identifier: MIT
// The rewrite of a netlist held in memory through any size reader: each device found around a Key
// (a physical line, or a logical line with its "+" lines) is read once and its Keys replaced where
// they stand. The SPICE rule runs here; the classic rule has the streaming engine of its own.
#pragma once

#include "rewrite/netlist_rewrite.h"
#include "rewrite/size_reader.h"

#include <span>
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

} // namespace tarvex
