// SPDX-License-Identifier: MIT
// tarvex-cli rewrite: the rewrite as a filter, from INPUT or stdin to OUTPUT or stdout, touching no
// other file. It streams: memory stays small whatever the size of the netlist, though each line is
// held whole, so it grows with the longest line.
#include "cli_common.h"
#include "commands.h"
#include "console.h"

#include "files/paths.h"
#include "files/replacement_file.h"
#include "netlist/process.h"

#include <CLI/CLI.hpp>

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tarvex::cli {
namespace {

// The rewrite reads and writes about a megabyte at a time, which stdio passes straight through;
// the buffers serve the small writes at the end of a run.
constexpr std::size_t kStdioBuffer = std::size_t{1} << 16;

struct RewriteOptions {
    RuleOptions rules;
    std::string input = "-";
    std::string output = "-";
};

// Where OUTPUT is written. A regular file, or a name not taken yet, gets a ReplacementFile that
// takes its place only once the run is complete, so a failed run leaves the file as it was; through a
// link, the file the link points to is replaced and the link stays. Anything else (a device such
// as /dev/null, a pipe) is written directly, since it cannot be renamed over.
struct OutputPlan {
    bool replace = false;
    std::filesystem::path replaced; // the file the new content takes the place of
};

OutputPlan PlanOutput(const std::filesystem::path& output) {
    std::error_code error;
    const std::filesystem::file_status own = std::filesystem::symlink_status(output, error);
    const std::filesystem::file_status followed = std::filesystem::status(output, error);
    if (!std::filesystem::exists(own)) {
        return {true, output};
    }
    if (std::filesystem::is_regular_file(followed)) {
        const bool link = std::filesystem::is_symlink(own);
        std::filesystem::path resolved = link ? std::filesystem::canonical(output, error) : output;
        return {true, error ? output : std::move(resolved)};
    }
    return {false, output};
}

int RunRewrite(const RewriteOptions& options) {
    const bool fromStdin = options.input == "-";
    const bool toStdout = options.output == "-";
    if (toStdout && options.rules.report == "-") {
        PrintError("Error: The report and the rewritten netlist cannot both go to standard output.");
        return kExitUsage;
    }
    const RulesResult loaded = LoadRules(options.rules);
    if (!loaded.rules) {
        PrintError(loaded.error);
        return kExitError;
    }

    const std::filesystem::path settingsPath = PathFromText(options.rules.settings);
    const std::filesystem::path inputPath = PathFromText(options.input);
    const std::filesystem::path outputPath = PathFromText(options.output);
    const std::string inputName = fromStdin ? "standard input" : QuotedPath(inputPath);
    const std::string outputName = toStdout ? "standard output" : QuotedPath(outputPath);
    // INPUT is checked and opened before anything is created, so a run that cannot read it leaves
    // OUTPUT and the report alone.
    std::FILE* in = stdin;
    FilePtr inFile;
    if (fromStdin) {
        SetBinaryMode(stdin);
    } else {
        std::error_code notFolder;
        if (std::filesystem::is_directory(inputPath, notFolder)) {
            PrintError("Error: " + inputName + " is a folder, not a netlist. No file was changed.");
            return kExitError;
        }
        std::error_code openError;
        inFile = OpenFile(inputPath, "r", openError);
        if (!inFile) {
            PrintError("Error: Cannot read " + inputName + ": " + ErrorText(openError.value()) + ".");
            return kExitError;
        }
        in = inFile.get();
    }
    if (!fromStdin && !toStdout && SameFile(inputPath, outputPath)) {
        PrintError("Error: " + inputName + " is both the input and the output. No file was changed.");
        return kExitError;
    }
    // "rewrite amp.net >> amp.net" would read its own output until the disk is full.
    if (toStdout ? SameRegularFile(in, stdout) : fromStdin && SameRegularFile(in, outputPath)) {
        PrintError("Error: The output (" + outputName + ") is the input file (" + inputName +
                   "). Nothing was written.");
        return kExitError;
    }
    std::vector<RunFile> files{{settingsPath, "settings file"}};
    if (!toStdout) {
        if (const auto clash = CheckOverwrite("output", outputPath, files)) {
            PrintError(*clash);
            return kExitError;
        }
        files.push_back({outputPath, "netlist"});
    }
    if (!fromStdin) {
        files.push_back({inputPath, "netlist"});
    }
    Report report;
    if (const auto error = OpenReport(report, options.rules.report, files)) {
        PrintError(*error);
        return kExitError;
    }

    const OutputPlan plan = toStdout ? OutputPlan{} : PlanOutput(outputPath);
    std::FILE* out = stdout;
    FilePtr outFile;
    std::optional<ReplacementFile> replacement;
    if (toStdout) {
        SetBinaryMode(stdout);
    } else if (plan.replace) {
        std::error_code exists;
        replacement.emplace(plan.replaced, std::filesystem::exists(plan.replaced, exists)
                                               ? plan.replaced
                                               : std::filesystem::path());
        if (!replacement->file()) {
            PrintError("Error: Cannot create " + outputName + ": " + ErrorText(replacement->error()) + ".");
            return kExitError;
        }
        out = replacement->file();
    } else {
        std::error_code openError;
        outFile = OpenFile(outputPath, "w", openError);
        if (!outFile) {
            PrintError("Error: Cannot create " + outputName + ": " + ErrorText(openError.value()) + ".");
            return kExitError;
        }
        out = outFile.get();
    }
    std::setvbuf(in, nullptr, _IOFBF, kStdioBuffer);
    std::setvbuf(out, nullptr, _IOFBF, kStdioBuffer);

    FileReader reader(in);
    FileWriter writer(out);
    const StreamResult result =
        RewriteStream(reader, writer, *loaded.rules,
                      WatchDevices(fromStdin ? "<stdin>" : options.input, report, options.rules.threads));
    const std::error_code& streamError = result.error;
    // What became of OUTPUT when the run fails: a replaced file is left as it was.
    const std::string aftermath =
        replacement ? " " + outputName + " was not changed." : " The output is incomplete.";
    int status = result.report.devicesKept() > 0 ? kExitKept : kExitOk;
    if (result.status == StreamStatus::Completed) {
        if (replacement) {
            if (const std::error_code error = replacement->close()) {
                PrintError("Error: Cannot write " + outputName + ": " + ErrorText(error) + "." + aftermath);
                status = kExitError;
            } else if (const std::error_code moveError = replacement->moveIntoPlace()) {
                PrintError("Error: Cannot create " + outputName + ": " + ErrorText(moveError) + "." +
                           aftermath);
                status = kExitError;
            }
        } else if (outFile) {
            if (const std::error_code error = CloseFile(std::move(outFile))) {
                PrintError("Error: Cannot write " + outputName + ": " + ErrorText(error) + "." + aftermath);
                status = kExitError;
            }
        }
    } else if (result.status == StreamStatus::ReadFailed) {
        PrintError("Error: Cannot read " + inputName + ": " + ErrorText(streamError) + "." + aftermath);
        status = kExitError;
    } else if (result.status == StreamStatus::WriteFailed) {
        PrintError("Error: Cannot write " + outputName + ": " + ErrorText(streamError) + "." + aftermath);
        status = kExitError;
    }
    if (const auto reportError = report.close()) {
        PrintError(*reportError);
        status = kExitError;
    }
    return status;
}

} // namespace

void AddRewriteCommand(CLI::App& app, int& exitCode) {
    auto options = std::make_shared<RewriteOptions>();
    CLI::App* command = app.add_subcommand(
        "rewrite", "Rewrite INPUT to OUTPUT with binned part names; no backup, no other file touched");
    AddRuleOptions(*command, options->rules);
    command->add_option("INPUT", options->input, "Netlist to read ('-' or none: standard input)");
    command->add_option("OUTPUT", options->output, "Where to write ('-' or none: standard output)");
    command->callback([options, &exitCode] { exitCode = RunRewrite(*options); });
}

} // namespace tarvex::cli
