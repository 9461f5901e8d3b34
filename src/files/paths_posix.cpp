// SPDX-License-Identifier: MIT
// File and path services on POSIX systems: '/' separates folders, paths are the file system's bytes.
#include "files/byte_stream.h"
#include "files/paths.h"

#include <string>

namespace tarvex {

bool IsFolderSeparator(std::filesystem::path::value_type c) {
    return c == '/';
}

std::error_code MoveReplacing(const std::filesystem::path& from, const std::filesystem::path& to) {
    std::error_code error;
    std::filesystem::rename(from, to, error);
    return error;
}

std::string DisplayPath(const std::filesystem::path& path) {
    return path.native();
}

FilePtr OpenFile(const std::filesystem::path& path, const char* mode) {
    return FilePtr(std::fopen(path.c_str(), BinaryMode(mode).c_str()));
}

} // namespace tarvex
