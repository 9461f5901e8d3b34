// SPDX-License-Identifier: MIT
#include "files/paths.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>

namespace tarvex {
namespace {

using Char = std::filesystem::path::value_type;

Char LowerAscii(Char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<Char>(c - 'A' + 'a') : c;
}

} // namespace

std::filesystem::path ChangeExtension(const std::filesystem::path& path, std::string_view ext) {
    const auto& text = path.native();
    for (std::size_t i = text.size(); i-- > 1;) {
        if (IsFolderSeparator(text[i])) {
            break;
        }
        if (text[i] == '.') {
            auto changed = text.substr(0, i);
            changed.append(ext.begin(), ext.end());
            return std::filesystem::path(changed);
        }
    }
    return path;
}

std::optional<std::filesystem::path> FolderOf(const std::filesystem::path& path) {
    const auto& text = path.native();
    for (std::size_t i = text.size(); i-- > 1;) {
        if (IsFolderSeparator(text[i])) {
            return std::filesystem::path(text.substr(0, i));
        }
    }
    return std::nullopt;
}

bool SamePathIgnoringCase(const std::filesystem::path& a, const std::filesystem::path& b) {
    const auto& x = a.native();
    const auto& y = b.native();
    return x.size() == y.size() && std::equal(x.begin(), x.end(), y.begin(),
                                              [](Char l, Char r) { return LowerAscii(l) == LowerAscii(r); });
}

bool SameFile(const std::filesystem::path& a, const std::filesystem::path& b) {
    std::error_code error;
    if (std::filesystem::equivalent(a, b, error)) {
        return true;
    }
    // Made absolute first: weakly_canonical leaves a relative name relative when none of its parts
    // exists, so "./amp.ant" and "amp.ant" would differ.
    const std::filesystem::path canonicalA =
        std::filesystem::weakly_canonical(std::filesystem::absolute(a, error), error);
    if (error) {
        return false;
    }
    const std::filesystem::path canonicalB =
        std::filesystem::weakly_canonical(std::filesystem::absolute(b, error), error);
    return !error && canonicalA == canonicalB;
}

std::string QuotedPath(const std::filesystem::path& path) {
    // Appended piece by piece: GCC 12 warns, wrongly, of an overlapping copy in "\"" + string.
    std::string quoted = "\"";
    quoted += DisplayPath(path);
    quoted += '"';
    return quoted;
}

std::string ErrorText(int error) {
    return std::generic_category().message(error != 0 ? error : EIO);
}

// Windows' own wording ("The system cannot find the file specified.") gives way to the portable one.
std::string ErrorText(const std::error_code& error) {
    return error.default_error_condition().message();
}

// A u8string path converts UTF-8 on Windows and passes the bytes through unchanged elsewhere.
std::filesystem::path PathFromText(std::string_view text) {
    return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

} // namespace tarvex
