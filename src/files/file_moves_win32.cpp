// SPDX-License-Identifier: MIT
// Renames on Windows: MoveFileExW without MOVEFILE_REPLACE_EXISTING; names cannot be swapped.
#include "files/file_moves.h"

#include <windows.h>

namespace tarvex {

std::error_code MoveNoReplace(const std::filesystem::path& from, const std::filesystem::path& to) {
    if (MoveFileExW(from.c_str(), to.c_str(), 0)) {
        return {};
    }
    const DWORD error = GetLastError();
    if (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS) {
        return std::make_error_code(std::errc::file_exists);
    }
    return {static_cast<int>(error), std::system_category()};
}

std::error_code ExchangeNames(const std::filesystem::path& /*a*/, const std::filesystem::path& /*b*/) {
    return std::make_error_code(std::errc::operation_not_supported);
}

} // namespace tarvex
