// SPDX-License-Identifier: MIT
// The settings file an import writes, and the files it must never write over: those the model
// library was read from.
#pragma once

#include "files/file_stamp.h"
#include "models/model_library.h"
#include "settings/settings_file.h"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarvex {

// How messages name a file of ModelLibrary::filesRead: "model library" for one of the files given,
// "included model file" for one that a library included or entered for a ".lib" section.
std::string_view ReadFileRole(const std::filesystem::path& file,
                              const std::vector<std::filesystem::path>& given);

// The refusal when written names, by any path, a file the library was read from (given, included
// or entered for a section); nothing when it names none. Checked before anything is created.
std::optional<std::string> CheckNotReadFrom(const std::filesystem::path& written, const ModelLibrary& library,
                                            const std::vector<std::filesystem::path>& given);

// Writes settings as the whole of a new settings file at path, through a file beside it that
// replaces path only once complete: a failed write leaves whatever was there as it was. With
// placing, the new file is put in place as ReplacementFile::commit does (over the file checked
// only, the old one kept as a numbered backup when asked); without, it replaces what is there. The
// message when it fails.
struct SettingsPlacing {
    std::optional<FileStamp> expected;
    bool keepOld = false;
};
std::optional<std::string> WriteImportedSettings(const std::filesystem::path& path, const SettingsFile& settings,
                                                 const std::optional<SettingsPlacing>& placing = std::nullopt);

} // namespace tarvex
