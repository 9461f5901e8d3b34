// SPDX-License-Identifier: MIT
// Whether one netlist is what a rewrite of another could have made: the test that keeps Process
// from moving a binned netlist over its backup, or regenerating over a netlist that is not one.
#pragma once

#include "files/byte_stream.h"
#include "netlist/line_rewriter.h"

#include <string_view>
#include <system_error>

namespace tarvex {

// True when net could be a rewrite of the line ant: net keeps every byte of ant in front of its
// first Key and after its last one. Where the bytes next to the N Key begin or end the P Key, an
// inserted N part name can form a P Key with them, which is then replaced too: the margin of the N
// Key widens by those bytes. False for a line that holds no Key (such a line is never changed).
bool DiffersOnlyAtKeys(std::string_view ant, std::string_view net, const RewriteRules& rules);

enum class CopyRelation {
    Identical,  // the same lines, byte for byte
    BinnedCopy, // the same number of lines, and every line that differs does so only at its Keys
    Different,  // anything else: a fresh export, a hand edit, another netlist
};

struct CopyComparison {
    CopyRelation relation = CopyRelation::Identical;
    // Set when a file could not be read; relation then means nothing.
    std::error_code error;
    bool errorInNet = false; // the read error came from net, not from ant
};

// Compares the two netlists line by line (a line ends at "\n", "\r\n" or a lone "\r"), stopping at
// the first line that makes them Different. Memory grows with the longest line, not the files.
CopyComparison CompareWithBackup(ByteReader& ant, ByteReader& net, const RewriteRules& rules);

} // namespace tarvex
