// SPDX-License-Identifier: MIT
// Bin tables imported from the binned groups of a model library, the one way the command line and
// the window import: the groups offered with their grids, the group chosen for each table, the
// tables built, the settings file checked against the files read, and written.
#pragma once

#include "files/replacement_file.h"
#include "models/bin_grid.h"
#include "models/model_library.h"
#include "settings/settings_file.h"
#include "text/result.h"

#include <deque>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarvex {

// A group offered for a table with its grid; both live as long as the BinImport that gave them.
// Empty (no group) where a type has none to import.
struct ImportGroup {
    const CardGroup* group = nullptr;
    const GridResult* grid = nullptr;

    explicit operator bool() const { return group != nullptr; }
};

// The binned groups of a library, each with its grid built once, however often it is listed,
// chosen or imported. The library must outlive it.
class BinImport {
public:
    explicit BinImport(const ModelLibrary& library);
    BinImport(const BinImport&) = delete;
    BinImport& operator=(const BinImport&) = delete;

    const ModelLibrary& library() const { return m_library; }
    // Every group, in the order its first card was read.
    std::vector<ImportGroup> groups() const;
    // The groups of one type, in that order.
    std::vector<ImportGroup> ofType(ModelType type) const;
    // The group of that type named pick (without regard to case), else the cards that pick matches as
    // a glob gathered into one group (its grid built then); empty when nothing matches.
    ImportGroup pick(ModelType type, std::string_view pick);

private:
    const ModelLibrary& m_library;
    std::vector<CardGroup> m_groups;
    std::vector<GridResult> m_grids;  // of m_groups, index for index
    std::deque<CardGroup> m_gathered; // groups gathered by a glob; a deque keeps them in place
    std::deque<GridResult> m_gatheredGrids;
};

// The tables built from the groups chosen for N and P (empty choices are skipped), and every reason
// against either, each said once (an ".option scale" stands against both). A table is there only
// when its grid fits; the import goes on only when there is no reason at all.
struct ImportedTables {
    std::optional<BinTable> n;
    std::optional<BinTable> p;
    std::vector<std::string> reasons;

    // Puts the tables built into settings; a type without one keeps its table.
    void applyTo(SettingsFile& settings) const;
};
ImportedTables BuildImportedTables(ImportGroup n, ImportGroup p);

// How messages name a file of ModelLibrary::filesRead: "model library" for one of the files given,
// "included model file" for one that a library included or entered for a ".lib" section.
std::string_view ReadFileRole(const std::filesystem::path& file,
                              const std::vector<std::filesystem::path>& given);

// Fails when written names, by any path, a file the library was read from (given, included or
// entered for a section). Checked before anything is created.
Result<void> CheckNotReadFrom(const std::filesystem::path& written, const ModelLibrary& library,
                              const std::vector<std::filesystem::path>& given);

// Writes settings as the whole of a new settings file at path, through a file beside it that
// replaces path only once complete: a failed write leaves whatever was there as it was. With check,
// the new file is put in place as ReplacementFile::commit does (over the file checked only, the old
// one kept as a numbered backup when asked); without, it replaces what is there.
Result<void> WriteImportedSettings(const std::filesystem::path& path, const SettingsFile& settings,
                                   const std::optional<ReplaceOptions::Check>& check = std::nullopt);

} // namespace tarvex
