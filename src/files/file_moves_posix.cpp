// SPDX-License-Identifier: MIT
// Renames on POSIX systems: renameat2(2) where the file system has it, link(2) and unlink(2) else.
#include "files/file_moves.h"

#include <cerrno>
#include <cstdio>

#include <fcntl.h>
#include <unistd.h>

namespace tarvex {
namespace {

std::error_code Errno() {
    return {errno, std::generic_category()};
}

bool Unsupported(int error) {
    return error == EINVAL || error == ENOSYS || error == ENOTSUP;
}

} // namespace

std::error_code MoveNoReplace(const std::filesystem::path& from, const std::filesystem::path& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
        return {};
    }
    if (!Unsupported(errno)) {
        return Errno();
    }
    // A second name that cannot be taken if it exists, then the first name given up.
    if (::link(from.c_str(), to.c_str()) != 0) {
        return Errno();
    }
    if (::unlink(from.c_str()) != 0) {
        return Errno();
    }
    return {};
}

std::error_code ExchangeNames(const std::filesystem::path& a, const std::filesystem::path& b) {
    if (::renameat2(AT_FDCWD, a.c_str(), AT_FDCWD, b.c_str(), RENAME_EXCHANGE) == 0) {
        return {};
    }
    if (Unsupported(errno)) {
        return std::make_error_code(std::errc::operation_not_supported);
    }
    return Errno();
}

} // namespace tarvex
