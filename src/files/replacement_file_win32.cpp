// SPDX-License-Identifier: MIT
// New files on Windows: CreateFileW with CREATE_NEW, handed to the C runtime as a FILE.
#define _CRT_RAND_S // rand_s, the system's cryptographic generator
#include <stdlib.h>

#include "files/replacement_file.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>

namespace tarvex {

FilePtr CreateNewFile(const std::filesystem::path& path, const std::filesystem::path& modeFrom,
                      std::error_code& error) {
    // Windows' one permission bit: a read-only netlist stays read-only. The handle made here can still
    // write; the attribute holds for every later opening.
    const DWORD from = modeFrom.empty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesW(modeFrom.c_str());
    const bool readOnly = from != INVALID_FILE_ATTRIBUTES && (from & FILE_ATTRIBUTE_READONLY) != 0;
    const HANDLE handle = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                      readOnly ? FILE_ATTRIBUTE_READONLY : FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        error = {static_cast<int>(GetLastError()), std::system_category()};
        return nullptr;
    }
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_WRONLY | _O_BINARY);
    if (fd == -1) {
        error = std::make_error_code(std::errc::too_many_files_open);
        CloseHandle(handle);
        SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(path.c_str());
        return nullptr;
    }
    std::FILE* file = _fdopen(fd, "wb");
    if (file == nullptr) {
        error = std::make_error_code(std::errc::too_many_files_open);
        _close(fd);
        SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(path.c_str());
        return nullptr;
    }
    return FilePtr(file);
}

std::uint64_t UnpredictableBits() {
    unsigned int high = 0;
    unsigned int low = 0;
    rand_s(&high);
    rand_s(&low);
    return (std::uint64_t{high} << 32) | low;
}

} // namespace tarvex
