// SPDX-License-Identifier: MIT
// Test helpers: a temporary folder removed with everything in it, and whole-file byte I/O.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace tarvex::test {

// A fresh, empty folder under the system's temporary folder, removed (with its contents) on
// destruction. Permissions are restored first so that read-only test folders go too.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return m_path; }
    std::filesystem::path operator/(std::string_view name) const { return m_path / name; }

private:
    std::filesystem::path m_path;
};

// The whole file as bytes; throws when it cannot be read.
std::string ReadFileBytes(const std::filesystem::path& path);

// Replaces the file's content with bytes; throws when it cannot be written.
void WriteFileBytes(const std::filesystem::path& path, std::string_view bytes);

} // namespace tarvex::test
