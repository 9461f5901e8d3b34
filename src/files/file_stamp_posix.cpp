// SPDX-License-Identifier: MIT
// File stamps on POSIX systems: stat(2) with nanosecond times.
#include "files/file_stamp.h"

#include <sys/stat.h>

namespace tarvex {
namespace {

std::int64_t Nanoseconds(const struct timespec& time) {
    return static_cast<std::int64_t>(time.tv_sec) * 1'000'000'000 + time.tv_nsec;
}

std::optional<FileStamp> FromStat(const struct stat& status) {
    if (!S_ISREG(status.st_mode)) {
        return std::nullopt;
    }
    FileStamp stamp;
    stamp.device = static_cast<std::uint64_t>(status.st_dev);
    stamp.inode = static_cast<std::uint64_t>(status.st_ino);
    stamp.size = static_cast<std::uint64_t>(status.st_size);
    stamp.modified = Nanoseconds(status.st_mtim);
    stamp.changed = Nanoseconds(status.st_ctim);
    return stamp;
}

} // namespace

std::optional<FileStamp> StampOf(const std::filesystem::path& path) {
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) {
        return std::nullopt;
    }
    return FromStat(status);
}

std::optional<FileStamp> StampOf(std::FILE* file) {
    struct stat status {};
    if (::fstat(::fileno(file), &status) != 0) {
        return std::nullopt;
    }
    return FromStat(status);
}

std::optional<std::uint64_t> FilePosition(std::FILE* file) {
    const off_t position = ::ftello(file);
    if (position < 0) {
        return std::nullopt;
    }
    return static_cast<std::uint64_t>(position);
}

} // namespace tarvex
