// SPDX-License-Identifier: MIT
#include "models/imported_settings.h"

#include "files/byte_stream.h"
#include "files/paths.h"
#include "files/replacement_file.h"

#include <algorithm>
#include <array>
#include <system_error>

namespace tarvex {

std::string_view ReadFileRole(const std::filesystem::path& file,
                              const std::vector<std::filesystem::path>& given) {
    const bool isGiven = std::any_of(given.begin(), given.end(),
                                     [&](const std::filesystem::path& path) { return SameFile(path, file); });
    return isGiven ? "model library" : "included model file";
}

std::optional<std::string> CheckNotReadFrom(const std::filesystem::path& written, const ModelLibrary& library,
                                            const std::vector<std::filesystem::path>& given) {
    for (const std::filesystem::path& file : library.filesRead) {
        if (SameFile(written, file)) {
            return "Error: The settings file " + QuotedPath(written) + " would overwrite the " +
                   std::string(ReadFileRole(file, given)) + " " + QuotedPath(file) + ". Nothing was written.";
        }
    }
    return std::nullopt;
}

std::optional<std::string> WriteImportedSettings(const std::filesystem::path& path, const SettingsFile& settings,
                                                 const std::optional<SettingsPlacing>& placing) {
    ReplacementFile replacement(path, path);
    if (!replacement.file()) {
        return "Error: Cannot create " + QuotedPath(path) + ": " + ErrorText(replacement.error()) + ".";
    }
    std::array<unsigned char, kSettingsFileSize> bytes{};
    WriteSettings(settings, bytes);
    std::error_code error =
        FileWriter(replacement.file()).write({reinterpret_cast<const char*>(bytes.data()), bytes.size()});
    if (const std::error_code closed = replacement.close(); !error) {
        error = closed;
    }
    if (!error && !placing) {
        error = replacement.moveIntoPlace();
    }
    if (error) {
        return "Error: Cannot write " + QuotedPath(path) + ": " + ErrorText(error) + ". Nothing was written.";
    }
    if (placing) {
        const Placement placed = replacement.commit(placing->expected, placing->keepOld);
        if (placed.error) {
            return "Error: Cannot write " + QuotedPath(path) + ": " + ErrorText(placed.error) + ". Nothing was written.";
        }
        if (placed.targetChanged) {
            return "Error: " + QuotedPath(path) + " was written by another program meanwhile; it was kept, and the "
                   "settings were written to " + QuotedPath(placed.keptNew) + " instead.";
        }
    }
    return std::nullopt;
}

} // namespace tarvex
