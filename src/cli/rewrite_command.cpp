// SPDX-License-Identifier: MIT
// tarvex-cli rewrite: the rewrite as a filter, from INPUT or stdin to OUTPUT or stdout, touching no
// other file. It streams: memory stays constant whatever the size of the netlist.
#include "cli_common.h"
#include "commands.h"
#include "console.h"

#include "files/paths.h"
#include "netlist/process.h"

#include <CLI/CLI.hpp>

#include <cerrno>
#include <filesystem>
#include <memory>
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
    if (const auto problem = CheckRules(*loaded.rules)) {
        PrintError(*problem);
        return kExitError;
    }

    const std::filesystem::path inputPath = PathFromText(options.input);
    const std::filesystem::path outputPath = PathFromText(options.output);
    const std::string inputName = fromStdin ? "standard input" : QuotedPath(inputPath);
    const std::string outputName = toStdout ? "standard output" : QuotedPath(outputPath);
    std::FILE* in = stdin;
    FilePtr inFile;
    if (fromStdin) {
        SetBinaryMode(stdin);
    } else {
        errno = 0;
        inFile = OpenFile(inputPath, "r");
        if (!inFile) {
            PrintError("Error: Cannot read " + inputName + ": " + ErrorText(errno) + ".");
            return kExitError;
        }
        in = inFile.get();
    }
    if (!fromStdin && !toStdout && SameFile(inputPath, outputPath)) {
        PrintError("Error: " + inputName + " is both the input and the output. No file was changed.");
        return kExitError;
    }
    std::vector<std::filesystem::path> files;
    if (!fromStdin) {
        files.push_back(inputPath);
    }
    if (!toStdout) {
        files.push_back(outputPath);
    }
    if (const auto clash = CheckReportPath(options.rules.report, files)) {
        PrintError(*clash);
        return kExitError;
    }
    Report report;
    if (options.rules.report) {
        if (const auto error = report.open(*options.rules.report)) {
            PrintError(*error);
            return kExitError;
        }
    }
    std::FILE* out = stdout;
    FilePtr outFile;
    if (toStdout) {
        SetBinaryMode(stdout);
    } else {
        errno = 0;
        outFile = OpenFile(outputPath, "w");
        if (!outFile) {
            PrintError("Error: Cannot create " + outputName + ": " + ErrorText(errno) + ".");
            return kExitError;
        }
        out = outFile.get();
    }
    std::setvbuf(in, nullptr, _IOFBF, kStdioBuffer);
    std::setvbuf(out, nullptr, _IOFBF, kStdioBuffer);

    FileReader reader(in);
    FileWriter writer(out);
    errno = 0;
    const StreamResult result = RewriteStream(reader, writer, *loaded.rules,
                                              WatchDevices(fromStdin ? "<stdin>" : options.input, report));
    int error = errno;
    int status = result.report.devicesKept() > 0 ? kExitKept : kExitOk;
    if (result.status == StreamStatus::Completed && outFile) {
        errno = 0;
        if (std::fclose(outFile.release()) != 0) {
            error = errno;
            status = kExitError;
            PrintError("Error: Cannot write " + outputName + ": " + ErrorText(error) +
                       ". The output is incomplete.");
        }
    }
    if (result.status == StreamStatus::ReadFailed) {
        PrintError("Error: Cannot read " + inputName + ": " + ErrorText(error) + ". The output is incomplete.");
        status = kExitError;
    } else if (result.status == StreamStatus::WriteFailed) {
        PrintError("Error: Cannot write " + outputName + ": " + ErrorText(error) +
                   ". The output is incomplete.");
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
