// SPDX-License-Identifier: MIT
// File and path services on POSIX systems: '/' separates folders, paths are the file system's bytes.
#include "files/byte_stream.h"
#include "files/paths.h"

#include <sys/stat.h>

#include <string>

namespace tarvex {

bool IsFolderSeparator(std::filesystem::path::value_type c) {
    return c == '/';
}

std::filesystem::path OpenedName(const std::filesystem::path& path) {
    return path;
}

namespace {

bool SameRegular(const struct stat& a, const struct stat& b) {
    return S_ISREG(a.st_mode) && S_ISREG(b.st_mode) && a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

} // namespace

bool SameRegularFile(std::FILE* a, std::FILE* b) {
    struct stat first {};
    struct stat second {};
    return ::fstat(::fileno(a), &first) == 0 && ::fstat(::fileno(b), &second) == 0 &&
           SameRegular(first, second);
}

bool SameRegularFile(std::FILE* a, const std::filesystem::path& b) {
    struct stat first {};
    struct stat second {};
    return ::fstat(::fileno(a), &first) == 0 && ::stat(b.c_str(), &second) == 0 && SameRegular(first, second);
}

std::error_code MoveReplacing(const std::filesystem::path& from, const std::filesystem::path& to) {
    std::error_code error;
    std::filesystem::rename(from, to, error);
    return error;
}

std::string PathKey(const std::filesystem::path& path) {
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(path, error);
    const std::filesystem::path folder = std::filesystem::weakly_canonical(absolute.parent_path(), error);
    return (error ? absolute : folder / absolute.filename()).native();
}

std::string DisplayPath(const std::filesystem::path& path) {
    return path.native();
}

std::FILE* OpenPlatformFile(const std::filesystem::path& path, const std::string& binaryMode) {
    return std::fopen(path.c_str(), binaryMode.c_str());
}

} // namespace tarvex
