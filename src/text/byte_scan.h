// SPDX-License-Identifier: MIT
// Vectorised byte scans for the streaming rewrite: the next Key of one family, line ends, size
// markers.
#pragma once

#include "text/byte_vectors.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tarvex {

// Offsets of the first occurrence of each Key, npos for a Key not found.
struct KeyPositions {
    std::size_t n = std::string_view::npos;
    std::size_t p = std::string_view::npos;
};

// Built once per run. For each 16-byte block it compares every position with the first and the
// last byte of both Keys at once; only positions where both match are checked in full. Nearly
// every block of a netlist is rejected by a few vector instructions.
class KeyScanner {
public:
    KeyScanner(std::string_view keyN, std::string_view keyP);

    // Offset of the first position in data where keyN or keyP begins, or data.size() when neither
    // occurs. An empty Key begins everywhere.
    std::size_t find(std::string_view data) const;

    // Which Keys begin at pos of data and end by limit (at most data.size()): pos for each that
    // does, npos for the others.
    KeyPositions keysAt(std::string_view data, std::size_t pos, std::size_t limit) const;

private:
    // find() from pos on, position by position: the last bytes, where no whole block fits.
    std::size_t findOneByOne(std::string_view data, std::size_t pos) const;

    std::string m_keyN;
    std::string m_keyP;
    std::size_t m_reach = 0; // bytes a candidate needs after it: the longer Key's length
    // Keys of up to 16 bytes are compared in one vector operation: each Key padded to 16 bytes,
    // and the lanes it fills.
    bool m_shortKeys = false;
    char m_blockN[16] = {};
    char m_blockP[16] = {};
    unsigned m_lanesN = 0;
    unsigned m_lanesP = 0;
};

// The lines of a text, walked forward once: every line end is looked at by one pass, however many
// lines are asked for. A line ends after "\n", "\r\n" or a lone "\r", or at the end of the text.
class LineWalk {
public:
    struct Line {
        std::size_t start = 0;   // just after the line end before it, or 0
        std::size_t end = 0;     // just after its own line end, or the end of the text
        std::uint64_t index = 0; // 0-based: the line ends before start
        bool splitsPair = false; // starts at the "\n" of a "\r\n" (see number)
    };

    explicit LineWalk(std::string_view text) : m_text(text) {}

    // The line that holds pos, where pos lies at or after the end of the line given before.
    Line lineAt(std::size_t pos);

    // The 0-based number of line, the last one given, as a device on it is numbered. A line that
    // starts between the "\r" and "\n" of a pair (a Key that begins with "\n") counts the "\r" as
    // a line end of its own, for its number and every later one, once a number on it is asked for.
    std::uint64_t number(const Line& line);

    // Line ends in the whole text, "\r\n" once and a "\r" on the last byte as lone (as
    // CountLineEnds counts them); the walk is over afterwards.
    std::uint64_t lineEnds();

private:
    // Counts the line ends in [m_at, to) and moves there; the offset just after the last line-end
    // byte among them, or m_at when there is none.
    std::size_t walkTo(std::size_t to);

    std::string_view m_text;
    std::size_t m_at = 0;           // where the walk stands; every line end before it is counted
    std::uint64_t m_ends = 0;       // line ends before m_at
    std::uint64_t m_splitPairs = 0; // see number
    std::size_t m_splitCounted = std::string_view::npos; // the split line already counted
};

// Offsets just after the first "L=" and the first "W=" of line, npos for a marker it lacks.
struct SizeMarkers {
    std::size_t length = std::string_view::npos;
    std::size_t width = std::string_view::npos;
};
SizeMarkers FindSizeMarkers(std::string_view line);

// Offset of the first '\n' or '\r' at or after pos, or data.size() when there is none.
std::size_t FirstLineEndByte(std::string_view data, std::size_t pos);

// Offset just after the last line end ('\n' or '\r') in data[floor, pos), or floor when there is
// none: the start of the line that holds pos.
std::size_t LineStartBefore(std::string_view data, std::size_t floor, std::size_t pos);

// The first line start at or after pos whose first byte is first or a blank (' ', '\t', '\f', '\v'),
// where a line that begins with first after its blanks may start; data.size() when there is none.
std::size_t NextLineStartingWith(std::string_view data, std::size_t pos, char first);

// Offset just past the line end of the line that holds pos ("\n", "\r\n" or a lone "\r"), or
// data.size() when that line has none.
std::size_t LineEndAfter(std::string_view data, std::size_t pos);

// Number of line ends in data: "\n", "\r\n" (once) and lone "\r". A "\r" on the last byte counts
// as lone: callers never split data between the two bytes of "\r\n".
std::uint64_t CountLineEnds(std::string_view data);

} // namespace tarvex
