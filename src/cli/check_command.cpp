// SPDX-License-Identifier: MIT
// tarvex-cli check: a dry run of process. It reads each netlist and writes nothing but the report and
// the map, then shows how the devices spread over both tables and which ones would keep their Key.
#include "cli_common.h"
#include "commands.h"
#include "model_files.h"
#include "table_grid.h"

#include "files/paths.h"
#include "models/model_check.h"
#include "insight/bin_map.h"
#include "insight/bin_usage.h"
#include "process/process.h"
#include "rewrite/reader_rewrite.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <set>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace tarvex::cli {
namespace {

struct CheckOptions {
    RuleOptions rules;
    std::vector<std::string> netlists;
    std::optional<std::string> map;    // the SVG bin map to write
    std::vector<std::string> models;   // model libraries the part names are checked against
    std::vector<std::string> sections; // their .lib sections to read; all when empty
};

// The rewritten netlist goes nowhere: only the devices met on the way count.
class DiscardWriter final : public ByteWriter {
public:
    std::error_code write(std::string_view /*bytes*/) override { return {}; }
};

// What the netlists of one check hold, across all of them.
struct Findings {
    std::vector<BinUsage> usage; // one per family
    std::uint64_t devices = 0;
    std::uint64_t kept = 0;
    std::uint64_t notDevices = 0;  // SPICE rule: Keys on lines that are no element
    std::uint64_t readAsSpice = 0; // classic rule: kept for want of a size, read by the SPICE rule
    std::string keptLines;         // DescribeKeptDevice for each kept device, each with its line end
    std::optional<BinMap> map;     // when --map asks for one

    // Devices whose part name the model library does not back, and their lines.
    std::uint64_t modelProblems = 0;
    std::string modelLines;
};

// The devices per cell under the part names; a cell without name or devices stays blank.
GridRow CountRow(const BinTable& table, const CellCounts& counts) {
    GridRow row;
    row.alignRight = true;
    for (int w = 0; w < kBinCount; ++w) {
        for (int l = 0; l < kBinCount; ++l) {
            const auto wi = static_cast<std::size_t>(w);
            const auto li = static_cast<std::size_t>(l);
            if (counts[wi][li] > 0 || !PartName(table, w, l).empty()) {
                row.cells[wi][li] = std::to_string(counts[wi][li]);
            }
        }
    }
    return row;
}

std::string UsageGrid(std::string_view title, const BinTable& table, std::string_view key,
                      const CellCounts& counts) {
    const std::array<GridRow, 2> rows{NameRow(table), CountRow(table, counts)};
    return DrawTableGrid(
        std::string(title) + "  Key: " + Printable(key) + "  (each cell: part name, devices)", table, rows);
}

std::string Summary(const Findings& findings) {
    std::string text;
    if (findings.notDevices > 0) {
        text = std::to_string(findings.notDevices) +
               (findings.notDevices == 1 ? " Key stands on a line that is not a device (not a device).\n"
                                         : " Keys stand on lines that are not devices (not a device).\n");
    }
    if (findings.devices == 0) {
        return text + "No device line holds a Key.\n";
    }
    text += std::to_string(findings.devices) + (findings.devices == 1 ? " device; " : " devices; ");
    if (findings.kept == 0) {
        return text + (findings.devices == 1 ? "it" : "all") + " would get a part name.\n";
    }
    text += std::to_string(findings.kept) +
            (findings.kept == 1 ? " would keep its placeholder:\n" : " would keep their placeholder:\n");
    text += findings.keptLines;
    if (findings.readAsSpice > 0) {
        text += SpiceHint(findings.readAsSpice, "--sizes spice") + '\n';
    }
    return text;
}

std::string ModelSummary(const Findings& findings) {
    if (findings.modelProblems == 0) {
        return {};
    }
    return std::to_string(findings.modelProblems) +
           (findings.modelProblems == 1 ? " device gets a part name" : " devices get a part name") +
           " that the models do not back:\n" + findings.modelLines;
}

// The library's binned cards that a netlist can name, each name once, as outlines for the map.
std::vector<MapCard> MapCards(const ModelLibrary& library) {
    std::vector<MapCard> cards;
    std::set<std::string> drawn;
    for (const ModelCard& card : library.cards) {
        if (card.binned() && card.subcircuit.empty() && drawn.insert(LowerName(card.name)).second) {
            cards.push_back({card.name, *card.lmin->value, *card.lmax->value, *card.wmin->value,
                             *card.wmax->value, card.type == ModelType::Nmos ? Polarity::N : Polarity::P});
        }
    }
    return cards;
}

// Reads one netlist through the rewrite into findings and the report, after the refusals that
// process would make; false when it is refused or cannot be read. It reads what process would bin:
// the chosen file, or its backup when only that is left.
bool CheckNetlist(const std::string& netlist, std::span<const RewriteRules> families, const ProcessSafety& safety,
                  const RuleOptions& rules, Report& report, Findings& findings, const ModelIndex* models) {
    if (const Result<void> plannable = CheckPlannable(netlist); !plannable) {
        PrintError(plannable.error());
        return false;
    }
    const Result<ProcessDecision> decision = DecideProcess(PathFromText(netlist), families, safety);
    if (!decision) {
        PrintError(decision.error());
        return false;
    }
    if (decision->doubt && !safety.goOn) {
        PrintError(DoubtRefusal(*decision->doubt, safety.refusalOption));
        return false;
    }
    // What process would read: the chosen file, or the backup when only that is left.
    const ProcessPlan& plan = decision->plan;
    const std::filesystem::path path = plan.moveAside ? plan.chosen : plan.source;
    std::error_code openError;
    const FilePtr file = OpenFile(path, "r", openError);
    if (!file) {
        PrintError("Error: Cannot read " + QuotedPath(path) + ": " + ErrorText(openError.value()) + ".");
        return false;
    }
    StreamOptions options;
    options.threads = rules.threads;
    options.sizes = rules.sizes;
    options.onDevice = [&](std::uint64_t line, const DeviceEvent& event) {
        report.addRow(netlist, line, event);
        if (event.outcome == DeviceOutcome::NotADevice) {
            ++findings.notDevices;
            return;
        }
        findings.usage[event.family].add(event);
        if (findings.map) {
            findings.map->add(netlist, line, event);
        }
        ++findings.devices;
        if (event.outcome != DeviceOutcome::Replaced) {
            ++findings.kept;
            findings.keptLines += DescribeKeptDevice(netlist, line, event);
            if (const std::string read = DescribeSizes(event); !read.empty()) {
                findings.keptLines += " (" + read + ")";
            }
            if (families.size() > 1) {
                findings.keptLines += " (Key ";
                findings.keptLines += KeyOf(event, families);
                findings.keptLines += ')';
            }
            findings.keptLines += '\n';
        } else if (models != nullptr) {
            if (const Result<void> backed = models->check(event); !backed) {
                ++findings.modelProblems;
                findings.modelLines += DescribeModelProblem(netlist, line, event, backed.error()) + '\n';
            }
        }
    };
    FileReader reader(file.get());
    DiscardWriter nowhere;
    const StreamResult result = RewriteStream(reader, nowhere, families, options);
    if (result.status == StreamStatus::ReadFailed) {
        PrintError("Error: Cannot read " + QuotedPath(path) + ": " + ErrorText(result.error) + ".");
        return false;
    }
    findings.readAsSpice += CountReadAsSpice(path, result.report);
    return true;
}

// What a check holds the devices against besides the tables: the --models libraries as an index,
// and their cards as outlines for the map.
struct CheckModels {
    std::optional<ModelIndex> index;
    std::vector<MapCard> cards;
};

// Reads the --models libraries, adding every file read (includes and section files too) to files;
// fails with every library error, one a line.
Result<CheckModels> ReadModels(const CheckOptions& options, std::vector<RunFile>& files) {
    CheckModels models;
    if (options.models.empty()) {
        return models;
    }
    std::vector<std::filesystem::path> paths;
    for (const std::string& model : options.models) {
        paths.push_back(PathFromText(model));
    }
    const ModelLibrary library = ReadModelLibrary(paths, options.sections);
    if (!library.errors.empty()) {
        std::string errors;
        for (const LibraryNote& error : library.errors) {
            errors += (errors.empty() ? "Error: " : "\nError: ") + error.text + ".";
        }
        return Fail(errors);
    }
    AddModelFiles(library, paths, files);
    models.index.emplace(library);
    models.cards = MapCards(library);
    return models;
}

// The map may name no file of the run: not the settings, a file of the model libraries, a netlist, the
// netlist a process would write or its backup, nor the report.
Result<void> CheckMapPath(const CheckOptions& options, const std::vector<RunFile>& files) {
    if (!options.map) {
        return {};
    }
    std::vector<RunFile> mapClashes = files;
    if (options.rules.report && *options.rules.report != "-") {
        mapClashes.push_back({PathFromText(*options.rules.report), "report"});
    }
    return CheckOverwrite("map", PathFromText(*options.map), mapClashes);
}

// The files of the run, the models and the open report, after every refusal that comes before
// the first netlist is read.
struct CheckRun {
    std::vector<std::string> netlists;
    CheckModels models;
    Report report;
};

Result<void> PrepareCheck(const CheckOptions& options, std::span<const RewriteRules> families,
                          CheckRun& run) {
    run.netlists = Distinct(options.netlists);
    Result<std::vector<RunFile>> files = CollectRunFiles(options.rules.settings, run.netlists);
    if (!files) {
        return Fail(files.error());
    }
    Result<CheckModels> models = ReadModels(options, files.value());
    if (!models) {
        return Fail(models.error());
    }
    run.models = std::move(models).value();
    if (Result<void> clear = CheckMapPath(options, *files); !clear) {
        return clear;
    }
    run.report.setFamilies(families);
    run.report.setSizeRule(options.rules.sizes.rule);
    return OpenReport(run.report, options.rules.report, *files);
}

// The grids, the summary and the model problems: to standard output, or to standard error when
// the report takes standard output. False when they cannot be written.
bool PrintFindings(const CheckOptions& options, std::span<const RewriteRules> families,
                   const Findings& findings) {
    std::string text;
    for (std::size_t i = 0; i < families.size(); ++i) {
        const RewriteRules& rules = families[i];
        text += UsageGrid("N-channel table", rules.tableN, rules.keyN, findings.usage[i].n) + '\n' +
                UsageGrid("P-channel table", rules.tableP, rules.keyP, findings.usage[i].p) + '\n';
    }
    text += Summary(findings) + ModelSummary(findings);
    const bool toStderr = options.rules.report == "-";
    if (const std::error_code error = WriteAndFlush(toStderr ? stderr : stdout, text)) {
        PrintError(std::string("Error: Cannot write standard ") + (toStderr ? "error" : "output") + ": " +
                   ErrorText(error) + ".");
        return false;
    }
    return true;
}

// Every netlist is read once, even after one fails.
int RunCheck(const CheckOptions& options) {
    const Result<std::vector<RewriteRules>> families = LoadRules(options.rules);
    if (!families) {
        PrintError(families.error());
        return kExitError;
    }
    CheckRun run;
    if (const Result<void> prepared = PrepareCheck(options, *families, run); !prepared) {
        PrintError(prepared.error());
        return kExitError;
    }
    int status = kExitOk;
    Findings findings;
    findings.usage.resize(families->size());
    if (options.map) {
        findings.map.emplace(std::span<const RewriteRules>(*families));
        findings.map->setCards(std::move(run.models.cards));
    }
    const ProcessSafety safety = SafetyOf(options.rules);
    const ModelIndex* models = run.models.index ? &*run.models.index : nullptr;
    for (const std::string& netlist : run.netlists) {
        if (!CheckNetlist(netlist, *families, safety, options.rules, run.report, findings, models)) {
            status = kExitError;
        }
    }
    if (const Result<void> closed = run.report.close(); !closed) {
        PrintError(closed.error());
        status = kExitError;
    }
    if (findings.map) {
        if (const Result<void> written = WriteBinMap(PathFromText(*options.map), findings.map->svg());
            !written) {
            PrintError(written.error());
            status = kExitError;
        }
    }
    if (!PrintFindings(options, *families, findings)) {
        return kExitError;
    }
    // As process: kept devices, or no device at all (nothing would be binned), give 3.
    if (status == kExitOk && (findings.kept > 0 || findings.modelProblems > 0 || findings.devices == 0)) {
        status = kExitKept;
    }
    return status;
}

} // namespace

void AddCheckCommand(CLI::App& app, int& exitCode) {
    auto options = std::make_shared<CheckOptions>();
    CLI::App* command = app.add_subcommand(
        "check", "Dry run of process: show how the devices of each NETLIST fall into the tables and which "
                 "would keep their placeholder; writes nothing but the report and the map");
    AddRuleOptions(*command, options->rules);
    command->add_option("--map", options->map,
                        "Also write FILE.svg: a picture of where the devices sit among the bins");
    command->add_option("NETLIST", options->netlists, "Netlist files to read")->required();
    command->add_option(
        "--models", options->models,
        "Model libraries: report part names that no card defines and sizes outside a card's bounds");
    command
        ->add_option("--section", options->sections, "Read only this .lib section of the models (repeatable)")
        ->needs("--models");
    command->callback([options, &exitCode] { exitCode = RunCheck(*options); });
}

} // namespace tarvex::cli
