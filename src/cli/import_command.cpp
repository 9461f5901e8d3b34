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
#include "models/bin_import.h"
#include "rewrite/rules.h"
#include "settings/settings_file.h"

#include <CLI/CLI.hpp>

#include <cstdio>
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

std::string Listing(const std::vector<ImportGroup>& groups) {
    std::string text;
    for (const ImportGroup& group : groups) {
        text += "  " + DescribeGroup(*group.group, *group.grid) + "\n";
    }
    return text;
}

// The group imported into one table: the one picked, or the type's only group; empty when the type
// has none and none was picked. Adds to error when the pick matches nothing or the choice is open.
ImportGroup ChooseGroup(BinImport& import, ModelType type, const std::optional<std::string>& pick,
                        std::string& error) {
    const std::string typeName(TypeName(type));
    const std::string option = type == ModelType::Nmos ? "--n" : "--p";
    const std::vector<ImportGroup> ofType = import.ofType(type);
    if (pick) {
        if (const ImportGroup chosen = import.pick(type, *pick)) {
            return chosen;
        }
        error +=
            "Error: No binned " + typeName + " group or card matches \"" + *pick + "\" (" + option + ").";
        error += ofType.empty() ? std::string(" The models hold none.\n")
                                : " The models hold:\n" + Listing(ofType);
        return {};
    }
    if (ofType.size() > 1) {
        error += "Error: The models hold " + std::to_string(ofType.size()) + " binned " + typeName +
                 " groups; choose one with " + option + ":\n" + Listing(ofType);
    }
    return ofType.size() == 1 ? ofType[0] : ImportGroup{};
}

int RunList(const BinImport& import) {
    const std::vector<ImportGroup> groups = import.groups();
    std::string text = groups.empty() ? std::string("No binned nmos or pmos cards.\n") : std::string();
    for (const ImportGroup& group : groups) {
        text += DescribeGroup(*group.group, *group.grid) + "\n";
    }
    for (const std::string& note : UnevaluatedBounds(import.library())) {
        text += note + "\n";
    }
    return Print(text) ? kExitOk : kExitError;
}

// The groups for the two tables, or the text of every error against choosing them.
struct Choice {
    ImportGroup n;
    ImportGroup p;
};
Result<Choice> ChooseGroups(BinImport& import, const ImportOptions& options) {
    std::string error;
    const Choice choice{ChooseGroup(import, ModelType::Nmos, options.groupN, error),
                        ChooseGroup(import, ModelType::Pmos, options.groupP, error)};
    if (error.empty() && !choice.n && !choice.p) {
        error =
            "Error: The models hold no binned nmos or pmos cards (all four of lmin, lmax, wmin and wmax as "
            "numbers).\n";
        for (const std::string& note : UnevaluatedBounds(import.library())) {
            error += "  " + note + "\n";
        }
    }
    if (!error.empty()) {
        return Fail(error);
    }
    return choice;
}

// What went where: "nfet_03v3 (16 cards) in the N-channel table, ...".
std::string ImportedText(const Choice& choice, const ImportedTables& tables) {
    std::string imported;
    for (const auto& [group, table, title] :
         {std::tuple{choice.n, &tables.n, "N-channel"}, std::tuple{choice.p, &tables.p, "P-channel"}}) {
        if (group && *table) {
            imported += std::string(imported.empty() ? "" : ", ") + group.group->name + " (" +
                        std::to_string(group.group->cards.size()) + " cards) in the " + title + " table";
        }
    }
    return imported;
}

// The settings the tables go into: those of --settings, else the default Keys and empty tables.
Result<SettingsFile> BaseSettings(const ImportOptions& options) {
    SettingsFile settings;
    if (!options.settings) {
        SetKeyText(settings.keyN, kDefaultKeyN);
        SetKeyText(settings.keyP, kDefaultKeyP);
        return settings;
    }
    Result<LoadedSettings> base = ReadSettingsFile(PathFromText(*options.settings));
    if (!base) {
        return Fail(base.error());
    }
    return base->settings;
}

// Neither a library nor a file it includes may be replaced by the settings, and an existing
// settings file may hold tables the user typed: the guard, or the refusal.
Result<OutputGuard> CheckOutput(const std::filesystem::path& output, const ModelLibrary& library,
                                const std::vector<std::filesystem::path>& models, bool backup) {
    std::vector<RunFile> read;
    AddModelFiles(library, models, read);
    if (Result<void> clear = CheckOverwrite("output", output, read); !clear) {
        return Fail(clear.error());
    }
    return GuardOutput(output, QuotedPath(output), backup);
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
    BinImport import(library);
    if (options.list) {
        return RunList(import);
    }
    const std::filesystem::path output = PathFromText(options.output);
    const Result<OutputGuard> guard = CheckOutput(output, library, models, options.backup);
    if (!guard) {
        PrintError(guard.error());
        return kExitError;
    }
    const Result<Choice> choice = ChooseGroups(import, options);
    if (!choice) {
        std::fputs(choice.error().c_str(), stderr);
        PrintError("Nothing was written.");
        return kExitError;
    }
    Result<SettingsFile> settings = BaseSettings(options);
    if (!settings) {
        PrintError(settings.error());
        return kExitError;
    }
    const ImportedTables tables = BuildImportedTables(choice->n, choice->p);
    if (!tables.reasons.empty()) {
        for (const std::string& reason : tables.reasons) {
            PrintError("Error: " + reason);
        }
        PrintError("Nothing was written.");
        return kExitError;
    }
    tables.applyTo(settings.value());
    const std::filesystem::path keptAs = NextNumberedBackup(output);
    if (const Result<void> written =
            WriteImportedSettings(output, *settings, ReplaceOptions::Check{guard->expected, guard->keepOld});
        !written) {
        PrintError(written.error());
        return kExitError;
    }
    RememberOutput(output);
    if (guard->keepOld && std::filesystem::exists(keptAs)) {
        PrintError("The earlier " + QuotedPath(output) + " was kept as " + QuotedPath(keptAs) + ".");
    }
    PrintError("Wrote " + QuotedPath(output) + ": " + ImportedText(*choice, tables) + ".");
    return Print(DrawSettings(*settings)) ? kExitOk : kExitError;
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
