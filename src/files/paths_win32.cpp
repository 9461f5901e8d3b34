// SPDX-License-Identifier: MIT
// File and path services on Windows: both slashes separate folders, paths are UTF-16 and are shown
// as UTF-8.
#include "files/byte_stream.h"
#include "files/paths.h"

#include <windows.h>

#include <string>

namespace tarvex {

bool IsFolderSeparator(std::filesystem::path::value_type c) {
    return c == L'\\' || c == L'/';
}

std::error_code MoveReplacing(const std::filesystem::path& from, const std::filesystem::path& to) {
    if (!MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        return {static_cast<int>(GetLastError()), std::system_category()};
    }
    return {};
}

std::string DisplayPath(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return {text.begin(), text.end()};
}

FilePtr OpenFile(const std::filesystem::path& path, const char* mode) {
    const std::string binary = BinaryMode(mode);
    const std::wstring wideMode(binary.begin(), binary.end());
    return FilePtr(_wfopen(path.c_str(), wideMode.c_str()));
}

} // namespace tarvex
