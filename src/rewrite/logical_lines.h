// SPDX-License-Identifier: MIT
// Logical lines as SPICE joins them: an element line with its "+" continuation lines, and the
// comment and blank lines between them, which SPICE skips.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace tarvex {

// The text of one physical line that takes part in a logical line, without its line end; for a "+"
// line, the text after the '+'.
struct LinePiece {
    std::size_t begin = 0;
    std::size_t end = 0;
};

struct LogicalLine {
    std::size_t begin = 0; // the first byte of its first physical line
    std::size_t end = 0;   // just past the line end of its last "+" line
    std::vector<LinePiece> pieces;
};

enum class LineKind { Blank, Comment, Continuation, Other };

// What a physical line is, by its first non-blank byte: nothing (Blank), '*' (Comment), '+'
// (Continuation), or anything else.
LineKind KindOf(std::string_view line);

// The end of the physical line's text that starts at begin (before "\n", "\r\n" or "\r"), and the
// start of the next line in next.
std::size_t PhysicalLineEnd(std::string_view text, std::size_t begin, std::size_t& next);

// The logical line that starts at begin (a line start): that line, then every "+" line that
// follows it, with the comment and blank lines between them; comment and blank lines after the
// last "+" line are not part of it. line's memory is kept from call to call.
void ReadLogicalLine(std::string_view text, std::size_t begin, LogicalLine& line);

// The start of the logical line that holds the physical line starting at lineStart, looking no
// further back than floor (a logical line start): lineStart itself unless that line is a "+" line,
// or a comment or blank line followed by one.
std::size_t LogicalLineStart(std::string_view text, std::size_t floor, std::size_t lineStart);

// The pieces of line joined by single spaces, each without its inline comment (';' anywhere, '$'
// at its start or after a blank), as SPICE reads the parameters of an element.
void JoinPieces(std::string_view text, const LogicalLine& line, std::string& joined);

// The text JoinPieces gives: a view of the one piece of a device on one line, else the pieces joined
// in buffer.
std::string_view JoinedText(std::string_view text, const LogicalLine& line, std::string& buffer);

} // namespace tarvex
