// SPDX-License-Identifier: MIT
// Settings files (".amd"): both bin tables and both Keys in 1348 bytes, little-endian, no header.
#pragma once

#include "bins/bin_table.h"
#include "text/result.h"

#include <array>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>

namespace tarvex {

inline constexpr std::size_t kKeyFieldSize = 50;
inline constexpr std::size_t kSettingsFileSize = 2 * kBinTableSize + 2 * kKeyFieldSize;
static_assert(kSettingsFileSize == 1348);

using KeyField = std::array<char, kKeyFieldSize>;

// One complete set of tables and Keys as stored: N table at 0, P table at 624, KeyN at 1248,
// KeyP at 1298. Bytes after each NUL and the filler are kept, so an untouched set saves back
// byte for byte.
struct SettingsFile {
    BinTable tableN{};
    BinTable tableP{};
    KeyField keyN{};
    KeyField keyP{};
};

void WriteSettings(const SettingsFile& settings, std::span<unsigned char, kSettingsFileSize> out);

// Reads as many bytes as there are; whatever a short input lacks stays zero, bytes past 1347 are
// ignored.
SettingsFile ReadSettings(std::span<const unsigned char> in);

// The Key text: the field's bytes up to the first NUL, or all 50 if it holds none.
std::string_view KeyText(const KeyField& field);

// Stores at most 49 bytes of key and a NUL, leaving the bytes after it as they were.
void SetKeyText(KeyField& field, std::string_view key);

// A settings file as loaded, and how it was opened.
struct LoadedSettings {
    SettingsFile settings;
    bool readOnly = false; // opened for reading only (read-only file or folder): Save will fail
    bool created = false;  // the path did not exist; an empty file was created there
};

// Loads a settings file. A missing file is created empty (and loads as empty tables); a file that
// can only be read still loads. Reading it is byte-exact; a short file leaves the rest zero. Fails
// when the file could not be opened or read: the caller keeps what it shows and its current
// settings path.
Result<LoadedSettings> LoadSettings(const std::filesystem::path& path);

// Reads a settings file for a tool that only uses it: opens it read-only and never creates it, so
// a mistyped path is reported ("No such file or directory") instead of loading empty tables.
Result<LoadedSettings> ReadSettingsFile(const std::filesystem::path& path);

// Writes the 1348 bytes at offset 0 without truncating, creating the file if needed, so a longer
// file keeps its tail. Fails for a file that cannot be opened or fully written.
Result<void> SaveSettings(const std::filesystem::path& path, const SettingsFile& settings);

} // namespace tarvex
