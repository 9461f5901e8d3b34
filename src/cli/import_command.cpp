// SPDX-License-Identifier: MIT
// tarvex-cli import: bin tables from the binned MOSFET cards of a foundry's model library, written
// into a settings file with the Keys (and any table not imported) of a base file.
#include "cli_common.h"
#include "commands.h"
#include "model_files.h"
#include "table_grid.h"

#include "files/file_moves.h"
#include "files/paths.h"
#include "models/bin_grid.h"
#include "models/imported_settings.h"
#include "rewrite/rules.h"
#include "settings/settings_file.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <memory>
#include <string>
#include <system_error>
#include <tuple>
#include <vector>

namespace tarvex::cli {
namespace {

struct ImportOptions {
    std::vector<std::string> models;
    std::string output;
    std::optional<std::string> groupN;
    std::optional<std::string> groupP;
    std::vector<std::string> sections;
    std::optional<std::string> settings;
    bool list = false;
    bool backup = false;
};

std::vector<std::filesystem::path> Paths(const std::vector<std::string>& texts) {
    std::vector<std::filesystem::path> paths;
    for (const std::string& text : texts) {
        paths.push_back(PathFromText(text));
    }
    return paths;
}

bool Print(const std::string& text) {
    if (const std::error_code error = WriteAndFlush(stdout, text)) {
        PrintError("Error: Cannot write standard output: " + ErrorText(error) + ".");
        return false;
    }
    return true;
}

std::string Listing(const std::vector<CardGroup>& groups, const ModelLibrary& library) {
    std::string text;
    for (const CardGroup& group : groups) {
        text += "  " + DescribeGroup(group, BuildBinTable(group, library)) + "\n";
    }
    return text;
}

// The group imported into one table: the one picked, or the type's only group; nothing when the
// type has none and none was picked. Sets error when the pick matches nothing or the choice is open.
std::optional<CardGroup> ChooseGroup(const std::vector<CardGroup>& groups, const ModelLibrary& library,
                                     ModelType type, const std::optional<std::string>& pick,
                                     std::string& error) {
    const std::string typeName(TypeName(type));
    const std::string option = type == ModelType::Nmos ? "--n" : "--p";
    std::vector<CardGroup> ofType;
    std::copy_if(groups.begin(), groups.end(), std::back_inserter(ofType),
                 [type](const CardGroup& group) { return group.type == type; });
    if (pick) {
        if (auto chosen = SelectGroup(groups, type, *pick)) {
            return chosen;
        }
        error +=
            "Error: No binned " + typeName + " group or card matches \"" + *pick + "\" (" + option + ").";
        error += ofType.empty() ? std::string(" The models hold none.\n")
                                : " The models hold:\n" + Listing(ofType, library);
        return std::nullopt;
    }
    if (ofType.size() > 1) {
        error += "Error: The models hold " + std::to_string(ofType.size()) + " binned " + typeName +
                 " groups; choose one with " + option + ":\n" + Listing(ofType, library);
    }
    return ofType.size() == 1 ? std::optional<CardGroup>(ofType[0]) : std::nullopt;
}

int RunList(const std::vector<CardGroup>& groups, const ModelLibrary& library) {
    std::string text = groups.empty() ? std::string("No binned nmos or pmos cards.\n") : std::string();
    for (const CardGroup& group : groups) {
        text += DescribeGroup(group, BuildBinTable(group, library)) + "\n";
    }
    for (const std::string& note : UnevaluatedBounds(library)) {
        text += note + "\n";
    }
    return Print(text) ? kExitOk : kExitError;
}

// The error text when the groups for the two tables cannot be chosen; empty when they can.
std::string ChooseGroups(const std::vector<CardGroup>& groups, const ModelLibrary& library,
                         const ImportOptions& options, std::optional<CardGroup>& groupN,
                         std::optional<CardGroup>& groupP) {
    std::string error;
    groupN = ChooseGroup(groups, library, ModelType::Nmos, options.groupN, error);
    groupP = ChooseGroup(groups, library, ModelType::Pmos, options.groupP, error);
    if (error.empty() && !groupN && !groupP) {
        error =
            "Error: The models hold no binned nmos or pmos cards (all four of lmin, lmax, wmin and wmax as "
            "numbers).\n";
        for (const std::string& note : UnevaluatedBounds(library)) {
            error += "  " + note + "\n";
        }
    }
    return error;
}

// Builds the tables of the chosen groups into settings; every reason against either table, each
// said once (an .option scale stands against both). imported says what went where.
std::vector<std::string> ImportTables(const std::optional<CardGroup>& groupN,
                                      const std::optional<CardGroup>& groupP, const ModelLibrary& library,
                                      SettingsFile& settings, std::string& imported) {
    std::vector<std::string> reasons;
    for (const auto& [group, table, title] : {std::tuple{&groupN, &settings.tableN, "N-channel"},
                                              std::tuple{&groupP, &settings.tableP, "P-channel"}}) {
        if (!*group) {
            continue;
        }
        const GridResult grid = BuildBinTable(**group, library);
        for (const std::string& reason : grid.reasons) {
            if (std::find(reasons.begin(), reasons.end(), reason) == reasons.end()) {
                reasons.push_back(reason);
            }
        }
        if (grid.table) {
            *table = *grid.table;
            imported += std::string(imported.empty() ? "" : ", ") + (*group)->name + " (" +
                        std::to_string((*group)->cards.size()) + " cards) in the " + title + " table";
        }
    }
    return reasons;
}

int RunImport(const ImportOptions& options) {
    const std::vector<std::filesystem::path> models = Paths(options.models);
    const ModelLibrary library = ReadModelLibrary(models, options.sections);
    if (!library.errors.empty()) {
        for (const LibraryNote& error : library.errors) {
            PrintError("Error: " + error.text + ".");
        }
        return kExitError;
    }
    const std::vector<CardGroup> groups = BinnedGroups(library);
    if (options.list) {
        return RunList(groups, library);
    }

    // Neither a library nor a file it includes may be replaced by the settings.
    const std::filesystem::path output = PathFromText(options.output);
    std::vector<RunFile> read;
    AddModelFiles(library, models, read);
    if (auto clash = CheckOverwrite("output", output, read)) {
        PrintError(*clash);
        return kExitError;
    }
    // An existing settings file may hold tables the user typed.
    OutputGuard guard;
    if (auto refusal = GuardOutput(output, QuotedPath(output), options.backup, guard)) {
        PrintError(*refusal);
        return kExitError;
    }
    std::optional<CardGroup> groupN;
    std::optional<CardGroup> groupP;
    if (const std::string error = ChooseGroups(groups, library, options, groupN, groupP); !error.empty()) {
        std::fputs(error.c_str(), stderr);
        PrintError("Nothing was written.");
        return kExitError;
    }

    SettingsFile settings;
    if (options.settings) {
        const LoadResult base = ReadSettingsFile(PathFromText(*options.settings));
        if (!base.loaded) {
            PrintError(base.error);
            return kExitError;
        }
        settings = base.settings;
    } else {
        SetKeyText(settings.keyN, kDefaultKeyN);
        SetKeyText(settings.keyP, kDefaultKeyP);
    }
    std::string imported;
    const std::vector<std::string> reasons = ImportTables(groupN, groupP, library, settings, imported);
    if (!reasons.empty()) {
        for (const std::string& reason : reasons) {
            PrintError("Error: " + reason);
        }
        PrintError("Nothing was written.");
        return kExitError;
    }
    const std::filesystem::path keptAs = NextNumberedBackup(output);
    if (const auto error = WriteImportedSettings(output, settings, SettingsPlacing{guard.expected, guard.keepOld})) {
        PrintError(*error);
        return kExitError;
    }
    RememberOutput(output);
    if (guard.keepOld && std::filesystem::exists(keptAs)) {
        PrintError("The earlier " + QuotedPath(output) + " was kept as " + QuotedPath(keptAs) + ".");
    }
    PrintError("Wrote " + QuotedPath(output) + ": " + imported + ".");
    return Print(DrawSettings(settings)) ? kExitOk : kExitError;
}

} // namespace

void AddImportCommand(CLI::App& app, int& exitCode) {
    auto options = std::make_shared<ImportOptions>();
    CLI::App* command = app.add_subcommand(
        "import",
        "Fill the bin tables from the binned MOSFET cards (lmin, lmax, wmin, wmax) of model libraries "
        "and write them into a new settings file");
    command
        ->add_option("MODELS", options->models,
                     "Model library files (.lib sections and includes are followed)")
        ->required();
    command->add_option("--output", options->output, "Settings file to write (may be the --settings file)");
    command->add_option("--n", options->groupN,
                        "Group for the N-channel table: its name or a glob over card names");
    command->add_option("--p", options->groupP,
                        "Group for the P-channel table: its name or a glob over card names");
    command->add_option("--section", options->sections, "Read only this .lib section (repeatable)");
    command->add_option(
        "--settings", options->settings,
        "Settings file whose Keys, and any table not imported, are kept (default: default Keys, "
        "empty tables)");
    command->add_flag("--backup", options->backup,
                      "Go on where --output names a settings file Tarvex did not write: keep it as a numbered "
                      "backup (NAME.~N~)");
    command->add_flag("--list", options->list,
                      "List every binned group and whether it fits a table; write nothing");
    command->callback([options, &exitCode] {
        if (!options->list && options->output.empty()) {
            PrintError("Error: --output is required (or --list).\nRun with --help for more information.");
            exitCode = kExitUsage;
            return;
        }
        exitCode = RunImport(*options);
    });
}

} // namespace tarvex::cli
