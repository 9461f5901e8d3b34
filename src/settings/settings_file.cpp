// SPDX-License-Identifier: MIT
#include "settings/settings_file.h"

#include "files/byte_stream.h"
#include "files/paths.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <system_error>

namespace tarvex {
namespace {

constexpr std::size_t kKeyNOffset = 2 * kBinTableSize;
constexpr std::size_t kKeyPOffset = kKeyNOffset + kKeyFieldSize;

// Windows refuses to open a folder with "Permission denied"; name the real cause instead.
int OpenError(const std::filesystem::path& path, int error) {
    std::error_code ignored;
    return error == EACCES && std::filesystem::is_directory(path, ignored) ? EISDIR : error;
}

std::string FileMessage(std::string_view what, const std::filesystem::path& path, int error) {
    return "Error: Cannot " + std::string(what) + " settings file \"" + DisplayPath(path) +
           "\": " + ErrorText(error) + ".";
}

// Reads what an open settings file holds into loaded; a short file leaves the rest zero.
Result<LoadedSettings> ReadOpenFile(std::FILE* file, const std::filesystem::path& path,
                                    LoadedSettings loaded) {
    std::array<unsigned char, kSettingsFileSize> bytes{};
    FileReader reader(file);
    const ReadResult read = reader.read({reinterpret_cast<char*>(bytes.data()), bytes.size()});
    if (read.error) {
        // A folder opens on some systems and only fails here.
        return Fail(FileMessage("read", path, read.error.value()));
    }
    loaded.settings = ReadSettings(std::span<const unsigned char>(bytes.data(), read.size));
    return loaded;
}

} // namespace

void WriteSettings(const SettingsFile& settings, std::span<unsigned char, kSettingsFileSize> out) {
    WriteBinTable(settings.tableN, out.subspan<0, kBinTableSize>());
    WriteBinTable(settings.tableP, out.subspan<kBinTableSize, kBinTableSize>());
    std::memcpy(out.data() + kKeyNOffset, settings.keyN.data(), kKeyFieldSize);
    std::memcpy(out.data() + kKeyPOffset, settings.keyP.data(), kKeyFieldSize);
}

SettingsFile ReadSettings(std::span<const unsigned char> in) {
    std::array<unsigned char, kSettingsFileSize> bytes{};
    std::copy_n(in.begin(), std::min(in.size(), bytes.size()), bytes.begin());
    const std::span<const unsigned char, kSettingsFileSize> all(bytes);
    SettingsFile settings;
    settings.tableN = ReadBinTable(all.subspan<0, kBinTableSize>());
    settings.tableP = ReadBinTable(all.subspan<kBinTableSize, kBinTableSize>());
    std::memcpy(settings.keyN.data(), bytes.data() + kKeyNOffset, kKeyFieldSize);
    std::memcpy(settings.keyP.data(), bytes.data() + kKeyPOffset, kKeyFieldSize);
    return settings;
}

std::string_view KeyText(const KeyField& field) {
    return {field.data(),
            static_cast<std::size_t>(std::find(field.begin(), field.end(), '\0') - field.begin())};
}

void SetKeyText(KeyField& field, std::string_view key) {
    key = key.substr(0, std::min(kKeyFieldSize - 1, key.find('\0')));
    std::copy(key.begin(), key.end(), field.begin());
    field[key.size()] = '\0';
}

Result<LoadedSettings> LoadSettings(const std::filesystem::path& path) {
    LoadedSettings loaded;
    std::error_code error;
    FilePtr file = OpenFile(path, "r+", error);
    int openError = error.value();
    if (!file && openError == ENOENT && !path.empty()) {
        file = OpenFile(path, "w+", error);
        loaded.created = file != nullptr;
        openError = error.value();
    } else if (!file && openError != ENOENT) {
        // Read-only files and folders (a shared technology folder) still load.
        file = OpenFile(path, "r");
        loaded.readOnly = file != nullptr;
    }
    if (!file) {
        return Fail(FileMessage("open", path, OpenError(path, openError != 0 ? openError : ENOENT)));
    }
    return ReadOpenFile(file.get(), path, loaded);
}

Result<LoadedSettings> ReadSettingsFile(const std::filesystem::path& path) {
    std::error_code error;
    const FilePtr file = OpenFile(path, "r", error);
    if (!file) {
        return Fail(FileMessage("open", path, OpenError(path, error ? error.value() : ENOENT)));
    }
    return ReadOpenFile(file.get(), path, {});
}

Result<void> SaveSettings(const std::filesystem::path& path, const SettingsFile& settings) {
    std::error_code error;
    FilePtr file = OpenFile(path, "r+", error);
    if (!file && error.value() == ENOENT) {
        file = OpenFile(path, "w+", error);
    }
    if (!file) {
        return Fail(FileMessage("open", path, OpenError(path, error ? error.value() : EACCES)));
    }
    std::array<unsigned char, kSettingsFileSize> bytes{};
    WriteSettings(settings, bytes);
    FileWriter writer(file.get());
    error = writer.write({reinterpret_cast<const char*>(bytes.data()), bytes.size()});
    if (!error) {
        error = writer.flush();
    }
    const std::error_code closeError = CloseFile(std::move(file));
    if (error || closeError) {
        return Fail(FileMessage("write", path, (error ? error : closeError).value()));
    }
    return {};
}

} // namespace tarvex
