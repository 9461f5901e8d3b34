// SPDX-License-Identifier: MIT
// File and path services on Windows: both slashes separate folders, paths are UTF-16 and are shown
// as UTF-8.
#include "files/byte_stream.h"
#include "files/paths.h"

#include <io.h>
#include <windows.h>

#include <optional>
#include <string>

namespace tarvex {

bool IsFolderSeparator(std::filesystem::path::value_type c) {
    return c == L'\\' || c == L'/';
}

std::filesystem::path OpenedName(const std::filesystem::path& path) {
    const std::wstring& text = path.native();
    std::size_t end = text.size();
    while (end > 0 && (text[end - 1] == L'.' || text[end - 1] == L' ')) {
        --end;
    }
    // A name of dots alone ("..") is a folder reference, not a name with trailing dots.
    if (end == 0 || IsFolderSeparator(text[end - 1]) || (end > 1 && text[end - 1] == L':')) {
        return path;
    }
    return std::filesystem::path(text.substr(0, end));
}

namespace {

// The volume and file index of an open regular file; nothing for a device, a pipe or a folder.
struct Identity {
    DWORD volume = 0;
    DWORD high = 0;
    DWORD low = 0;
    bool operator==(const Identity&) const = default;
};

std::optional<Identity> IdentityOf(HANDLE handle) {
    BY_HANDLE_FILE_INFORMATION info{};
    if (handle == INVALID_HANDLE_VALUE || GetFileType(handle) != FILE_TYPE_DISK ||
        !GetFileInformationByHandle(handle, &info) ||
        (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return std::nullopt;
    }
    return Identity{info.dwVolumeSerialNumber, info.nFileIndexHigh, info.nFileIndexLow};
}

std::optional<Identity> IdentityOf(std::FILE* file) {
    return IdentityOf(reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file))));
}

} // namespace

bool SameRegularFile(std::FILE* a, std::FILE* b) {
    const std::optional<Identity> first = IdentityOf(a);
    return first && first == IdentityOf(b);
}

bool SameRegularFile(std::FILE* a, const std::filesystem::path& b) {
    const std::optional<Identity> first = IdentityOf(a);
    if (!first) {
        return false;
    }
    const HANDLE handle = CreateFileW(b.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    const std::optional<Identity> second = IdentityOf(handle);
    if (handle != INVALID_HANDLE_VALUE) {
        CloseHandle(handle);
    }
    return first == second;
}

std::error_code MoveReplacing(const std::filesystem::path& from, const std::filesystem::path& to) {
    if (!MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        return {static_cast<int>(GetLastError()), std::system_category()};
    }
    return {};
}

std::string PathKey(const std::filesystem::path& path) {
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(OpenedName(path), error);
    const std::filesystem::path folder = std::filesystem::weakly_canonical(absolute.parent_path(), error);
    std::wstring text = (error ? absolute : folder / absolute.filename()).native();
    CharLowerBuffW(text.data(), static_cast<DWORD>(text.size()));
    return DisplayPath(std::filesystem::path(text));
}

std::string DisplayPath(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return {text.begin(), text.end()};
}

std::FILE* OpenPlatformFile(const std::filesystem::path& path, const std::string& binaryMode) {
    const std::wstring wideMode(binaryMode.begin(), binaryMode.end());
    return _wfopen(path.c_str(), wideMode.c_str());
}

} // namespace tarvex
