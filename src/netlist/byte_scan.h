// SPDX-License-Identifier: MIT
// Vectorised byte scans for the streaming rewrite: the next Key, the start of a line.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tarvex {

// Built once per run. For each 16-byte block it compares every position with the first and the
// last byte of both Keys at once; only positions where both match are checked in full. Nearly
// every block of a netlist is rejected by a few vector instructions.
class KeyScanner {
public:
    KeyScanner(std::string_view keyN, std::string_view keyP);

    // Offset of the first position in data where keyN or keyP begins, or data.size() when neither
    // occurs. An empty Key begins everywhere.
    std::size_t find(std::string_view data) const;

private:
    bool matchesAt(std::string_view data, std::size_t pos) const;

    std::string m_keyN;
    std::string m_keyP;
    std::size_t m_reach = 0; // bytes a candidate needs after it: the longer Key's length
};

// Offset just after the last line end ('\n' or '\r') in data[floor, pos), or floor when there is
// none: the start of the line that holds pos.
std::size_t LineStartBefore(std::string_view data, std::size_t floor, std::size_t pos);

// Number of line ends in data: "\n", "\r\n" (once) and lone "\r". A "\r" on the last byte counts
// as lone: callers never split data between the two bytes of "\r\n".
std::uint64_t CountLineEnds(std::string_view data);

} // namespace tarvex
