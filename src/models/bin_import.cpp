// SPDX-License-Identifier: MIT
#include "models/bin_import.h"

#include "files/paths.h"

#include <algorithm>
#include <array>
#include <utility>

namespace tarvex {

BinImport::BinImport(const ModelLibrary& library) : m_library(library), m_groups(BinnedGroups(library)) {
    m_grids.reserve(m_groups.size());
    for (const CardGroup& group : m_groups) {
        m_grids.push_back(BuildBinTable(group, library));
    }
}

std::vector<ImportGroup> BinImport::groups() const {
    std::vector<ImportGroup> all;
    for (std::size_t i = 0; i < m_groups.size(); ++i) {
        all.push_back({&m_groups[i], &m_grids[i]});
    }
    return all;
}

std::vector<ImportGroup> BinImport::ofType(ModelType type) const {
    std::vector<ImportGroup> chosen = groups();
    std::erase_if(chosen, [type](const ImportGroup& group) { return group.group->type != type; });
    return chosen;
}

ImportGroup BinImport::pick(ModelType type, std::string_view pick) {
    if (const CardGroup* named = FindGroup(m_groups, type, pick)) {
        return {named, &m_grids[static_cast<std::size_t>(named - m_groups.data())]};
    }
    std::optional<CardGroup> gathered = GatherGroup(m_groups, type, pick);
    if (!gathered) {
        return {};
    }
    m_gathered.push_back(std::move(*gathered));
    m_gatheredGrids.push_back(BuildBinTable(m_gathered.back(), m_library));
    return {&m_gathered.back(), &m_gatheredGrids.back()};
}

void ImportedTables::applyTo(SettingsFile& settings) const {
    settings.tableN = n.value_or(settings.tableN);
    settings.tableP = p.value_or(settings.tableP);
}

ImportedTables BuildImportedTables(ImportGroup n, ImportGroup p) {
    ImportedTables tables;
    for (const auto& [choice, table] : {std::pair{n, &tables.n}, std::pair{p, &tables.p}}) {
        if (!choice) {
            continue;
        }
        for (const std::string& reason : choice.grid->reasons) {
            if (std::find(tables.reasons.begin(), tables.reasons.end(), reason) == tables.reasons.end()) {
                tables.reasons.push_back(reason);
            }
        }
        *table = choice.grid->table;
    }
    return tables;
}

std::string_view ReadFileRole(const std::filesystem::path& file,
                              const std::vector<std::filesystem::path>& given) {
    const bool isGiven = std::any_of(given.begin(), given.end(),
                                     [&](const std::filesystem::path& path) { return SameFile(path, file); });
    return isGiven ? "model library" : "included model file";
}

Result<void> CheckNotReadFrom(const std::filesystem::path& written, const ModelLibrary& library,
                              const std::vector<std::filesystem::path>& given) {
    for (const std::filesystem::path& file : library.filesRead) {
        if (SameFile(written, file)) {
            return Fail("Error: The settings file " + QuotedPath(written) + " would overwrite the " +
                        std::string(ReadFileRole(file, given)) + " " + QuotedPath(file) +
                        ". Nothing was written.");
        }
    }
    return {};
}

Result<void> WriteImportedSettings(const std::filesystem::path& path, const SettingsFile& settings,
                                   const std::optional<ReplaceOptions::Check>& check) {
    std::array<unsigned char, kSettingsFileSize> bytes{};
    WriteSettings(settings, bytes);
    ReplaceOptions options;
    options.modeFrom = path;
    options.check = check;
    const ReplaceOutcome written =
        WriteFileReplacing(path, {reinterpret_cast<const char*>(bytes.data()), bytes.size()}, options);
    if (written.stopped == ReplaceStep::Create) {
        return Fail("Error: Cannot create " + QuotedPath(path) + ": " + ErrorText(written.error) + ".");
    }
    if (written.stopped != ReplaceStep::Done) {
        return Fail("Error: Cannot write " + QuotedPath(path) + ": " + ErrorText(written.error) +
                    ". Nothing was written.");
    }
    if (written.placement.targetChanged) {
        return Fail("Error: " + QuotedPath(path) +
                    " was written by another program meanwhile; it was kept, and the "
                    "settings were written to " +
                    QuotedPath(written.placement.keptNew) + " instead.");
    }
    return {};
}

} // namespace tarvex
