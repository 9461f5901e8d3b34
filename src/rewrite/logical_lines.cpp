// SPDX-License-Identifier: MIT
#include "rewrite/logical_lines.h"

#include "text/byte_scan.h"

#include <cstring>

namespace tarvex {
namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\f' || c == '\v';
}

std::size_t FirstNonBlank(std::string_view text, std::size_t begin, std::size_t end) {
    while (begin < end && IsBlank(text[begin])) {
        ++begin;
    }
    return begin;
}

// The kind of the physical line that starts at begin, from its first non-blank byte: its end need
// not be known.
LineKind KindAt(std::string_view text, std::size_t begin) {
    while (begin < text.size() && IsBlank(text[begin])) {
        ++begin;
    }
    if (begin == text.size() || text[begin] == '\n' || text[begin] == '\r') {
        return LineKind::Blank;
    }
    switch (text[begin]) {
    case '*':
        return LineKind::Comment;
    case '+':
        return LineKind::Continuation;
    default:
        return LineKind::Other;
    }
}

std::string_view WithoutInlineComment(std::string_view piece) {
    if (const std::size_t semicolon = piece.find(';'); semicolon != std::string_view::npos) {
        piece = piece.substr(0, semicolon);
    }
    for (std::size_t dollar = piece.find('$'); dollar != std::string_view::npos; dollar = piece.find('$', dollar + 1)) {
        if (dollar == 0 || IsBlank(piece[dollar - 1])) {
            return piece.substr(0, dollar);
        }
    }
    return piece;
}

} // namespace

LineKind KindOf(std::string_view line) {
    return KindAt(line, 0);
}

std::size_t PhysicalLineEnd(std::string_view text, std::size_t begin, std::size_t& next) {
    const std::size_t end = FirstLineEndByte(text, begin);
    next = end;
    if (next < text.size()) {
        next += text[next] == '\r' && next + 1 < text.size() && text[next + 1] == '\n' ? 2 : 1;
    }
    return end;
}

void ReadLogicalLine(std::string_view text, std::size_t begin, LogicalLine& line) {
    line.begin = begin;
    line.pieces.clear();
    std::size_t next = 0;
    const std::size_t end = PhysicalLineEnd(text, begin, next);
    line.pieces.push_back({begin, end});
    line.end = next;
    // Comment and blank lines are taken only when a "+" line follows them.
    for (std::size_t at = next; at < text.size();) {
        const LineKind kind = KindAt(text, at);
        if (kind == LineKind::Other) {
            break;
        }
        std::size_t after = 0;
        const std::size_t stop = PhysicalLineEnd(text, at, after);
        if (kind == LineKind::Continuation) {
            const std::size_t plus = FirstNonBlank(text, at, stop);
            line.pieces.push_back({plus + 1, stop});
            line.end = after;
        }
        at = after;
    }
}

std::size_t LogicalLineStart(std::string_view text, std::size_t floor, std::size_t lineStart) {
    const LineKind kind = KindAt(text, lineStart);
    if (kind == LineKind::Other) {
        return lineStart;
    }
    std::size_t next = 0;
    PhysicalLineEnd(text, lineStart, next);
    if (kind != LineKind::Continuation) {
        // A comment or blank line belongs to the line before it only when a "+" line follows.
        std::size_t at = next;
        LineKind following = LineKind::Blank;
        while (at < text.size()) {
            std::size_t after = 0;
            following = KindAt(text, at);
            PhysicalLineEnd(text, at, after);
            if (following != LineKind::Blank && following != LineKind::Comment) {
                break;
            }
            at = after;
        }
        if (following != LineKind::Continuation) {
            return lineStart;
        }
    }
    // Back over "+", comment and blank lines to the line they continue.
    std::size_t start = lineStart;
    while (start > floor) {
        std::size_t previous = start - 1;
        if (text[previous] == '\n' && previous > floor && text[previous - 1] == '\r') {
            --previous;
        }
        while (previous > floor && text[previous - 1] != '\n' && text[previous - 1] != '\r') {
            --previous;
        }
        const LineKind before = KindAt(text, previous);
        start = previous;
        if (before == LineKind::Other) {
            break;
        }
    }
    return start;
}

std::string_view JoinedText(std::string_view text, const LogicalLine& line, std::string& buffer) {
    if (line.pieces.size() == 1) {
        const LinePiece& piece = line.pieces.front();
        return WithoutInlineComment(text.substr(piece.begin, piece.end - piece.begin));
    }
    JoinPieces(text, line, buffer);
    return buffer;
}

void JoinPieces(std::string_view text, const LogicalLine& line, std::string& joined) {
    joined.clear();
    for (const LinePiece& piece : line.pieces) {
        if (!joined.empty()) {
            joined += ' ';
        }
        joined += WithoutInlineComment(text.substr(piece.begin, piece.end - piece.begin));
    }
}

} // namespace tarvex
