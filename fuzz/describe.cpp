// SPDX-License-Identifier: MIT
#include "describe.h"

#include <algorithm>
#include <cstdio>

namespace tarvex::fuzz {

std::string Describe(double value) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.17g", value);
    return buffer;
}

std::string Quote(std::string_view text) {
    constexpr std::size_t kShown = 200;
    std::string quoted = "\"";
    for (const char c : text.substr(0, kShown)) {
        if (c >= 0x20 && c < 0x7f && c != '"' && c != '\\') {
            quoted += c;
        } else {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\x%02x",
                          static_cast<unsigned>(static_cast<unsigned char>(c)));
            quoted += escape;
        }
    }
    quoted += '"';
    if (text.size() > kShown) {
        quoted += "... (" + std::to_string(text.size()) + " bytes)";
    }
    return quoted;
}

std::size_t FirstDifference(std::string_view a, std::string_view b) {
    return static_cast<std::size_t>(
        std::mismatch(a.begin(), a.begin() + static_cast<std::ptrdiff_t>(std::min(a.size(), b.size())),
                      b.begin())
            .first -
        a.begin());
}

} // namespace tarvex::fuzz
