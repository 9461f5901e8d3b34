// SPDX-License-Identifier: MIT
// Whether one netlist is what a rewrite of another could have made: the test that keeps Process
// from moving a binned netlist over its backup, or regenerating over a netlist that is not one.
#pragma once

#include "files/byte_stream.h"
#include "rewrite/line_rewriter.h"

#include <cstdint>
#include <span>
#include <string_view>
#include <system_error>

namespace tarvex {

// True when net could be a rewrite of the line ant: net keeps every byte of ant in front of its
// first Key and after its last one. Where the bytes next to the N Key begin or end the P Key, an
// inserted N part name can form a P Key with them, which is then replaced too: the margin of the N
// Key widens by those bytes. False for a line that holds no Key (such a line is never changed).
bool DiffersOnlyAtKeys(std::string_view ant, std::string_view net, const RewriteRules& rules);

// The same over several families binned in one run: bytes between the first Key of any family and
// the last may change, widened where a part name inserted for one Key can form a later Key (of its
// own family or a later one) with the bytes around it.
bool DiffersOnlyAtKeys(std::string_view ant, std::string_view net, std::span<const RewriteRules> families);

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

// What a whole comparison of a netlist with its backup found, line by line (line n of one against
// line n of the other).
struct NetlistComparison {
    bool identical = true;        // the same bytes
    bool netHoldsKey = false;     // some line of net holds a Key of some family
    std::uint64_t binnedLines = 0; // lines of net that are ant's line rewritten at its Keys
    std::uint64_t otherLines = 0;  // lines that differ otherwise, or that only one file has
    std::error_code error;         // a file could not be read; the rest then means nothing
    bool errorInNet = false;

    CopyRelation relation() const {
        return identical ? CopyRelation::Identical
                         : otherLines == 0 ? CopyRelation::BinnedCopy : CopyRelation::Different;
    }
};

// Reads both netlists to their ends; memory grows with the longest line, not the files.
NetlistComparison CompareNetlists(ByteReader& ant, ByteReader& net, std::span<const RewriteRules> families);

// Compares the two netlists line by line (a line ends at "\n", "\r\n" or a lone "\r"), stopping at
// the first line that makes them Different. Memory grows with the longest line, not the files.
CopyComparison CompareWithBackup(ByteReader& ant, ByteReader& net, const RewriteRules& rules);

} // namespace tarvex
