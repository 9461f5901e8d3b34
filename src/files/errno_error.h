// SPDX-License-Identifier: MIT
// errno as a value, read right after the C library call that failed; only src/files reads errno.
#pragma once

#include <cerrno>
#include <system_error>

namespace tarvex {

// errno as an error code; EIO when the C library failed without saying why.
inline std::error_code ErrnoError() {
    const int error = errno;
    return {error != 0 ? error : EIO, std::generic_category()};
}

} // namespace tarvex
