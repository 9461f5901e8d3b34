// SPDX-License-Identifier: MIT
// File stamps on Windows: the volume and file index, the size, and the last write and change times.
#include "files/file_stamp.h"

#include <io.h>
#include <windows.h>

namespace tarvex {
namespace {

std::int64_t Nanoseconds(LARGE_INTEGER time) {
    return static_cast<std::int64_t>(time.QuadPart) * 100;
}

std::optional<FileStamp> FromHandle(HANDLE handle) {
    BY_HANDLE_FILE_INFORMATION info{};
    FILE_BASIC_INFO times{};
    if (handle == INVALID_HANDLE_VALUE || GetFileType(handle) != FILE_TYPE_DISK ||
        !GetFileInformationByHandle(handle, &info) || (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ||
        !GetFileInformationByHandleEx(handle, FileBasicInfo, &times, sizeof(times))) {
        return std::nullopt;
    }
    FileStamp stamp;
    stamp.device = info.dwVolumeSerialNumber;
    stamp.inode = (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow;
    stamp.size = (std::uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow;
    stamp.modified = Nanoseconds(times.LastWriteTime);
    stamp.changed = Nanoseconds(times.ChangeTime);
    return stamp;
}

} // namespace

std::optional<FileStamp> StampOf(const std::filesystem::path& path) {
    const HANDLE handle = CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return std::nullopt;
    }
    const std::optional<FileStamp> stamp = FromHandle(handle);
    CloseHandle(handle);
    return stamp;
}

std::optional<FileStamp> StampOf(std::FILE* file) {
    return FromHandle(reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file))));
}

std::optional<std::uint64_t> FilePosition(std::FILE* file) {
    const __int64 position = _ftelli64(file);
    if (position < 0) {
        return std::nullopt;
    }
    return static_cast<std::uint64_t>(position);
}

} // namespace tarvex
