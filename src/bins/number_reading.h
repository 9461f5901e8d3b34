// SPDX-License-Identifier: MIT
// The byte classes and the atof reading shared by the C-style number reader and the engineering
// values.
#pragma once

#include <string_view>

namespace tarvex::number {

inline bool IsCSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

inline bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

inline bool IsHexDigit(char c) {
    return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

inline char ToUpperAscii(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

inline std::string_view UpToNul(std::string_view text) {
    return text.substr(0, text.find('\0'));
}

// The atof reading of text, which holds no NUL.
double ParseLeading(std::string_view text);

} // namespace tarvex::number
