// SPDX-License-Identifier: MIT
// tarvex-cli rewrite: the rewrite as a filter, from INPUT or stdin to OUTPUT or stdout, touching no
// other file. It streams: memory stays small whatever the size of the netlist, though each line is
// held whole, so it grows with the longest line.
#include "cli_common.h"
#include "commands.h"
#include "console.h"

#include "files/file_moves.h"
#include "files/file_stamp.h"
#include "files/paths.h"
#include "process/process.h"
#include "process/replacing_write.h"

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

// The files of one run and how messages name them.
struct RewriteRun {
    bool fromStdin = false;
    bool toStdout = false;
    std::vector<std::filesystem::path> settingsPaths;
    std::filesystem::path inputPath;
    std::filesystem::path outputPath;
    std::string inputName;
    std::string outputName;
};

RewriteRun MakeRun(const RewriteOptions& options) {
    RewriteRun run;
    run.fromStdin = options.input == "-";
    run.toStdout = options.output == "-";
    for (const std::string& settings : options.rules.settings) {
        run.settingsPaths.push_back(PathFromText(settings));
    }
    run.inputPath = PathFromText(options.input);
    run.outputPath = PathFromText(options.output);
    run.inputName = run.fromStdin ? "standard input" : QuotedPath(run.inputPath);
    run.outputName = run.toStdout ? "standard output" : QuotedPath(run.outputPath);
    return run;
}

// INPUT is checked and opened before anything is created, so a run that cannot read it leaves
// OUTPUT and the report alone. The open file; none for standard input.
Result<FilePtr> OpenInput(const RewriteRun& run) {
    if (run.fromStdin) {
        SetBinaryMode(stdin);
        return FilePtr();
    }
    std::error_code notFolder;
    if (std::filesystem::is_directory(run.inputPath, notFolder)) {
        return Fail("Error: " + run.inputName + " is a folder, not a netlist. No file was changed.");
    }
    std::error_code openError;
    FilePtr inFile = OpenFile(run.inputPath, "r", openError);
    if (!inFile) {
        return Fail("Error: Cannot read " + run.inputName + ": " + ErrorText(openError.value()) + ".");
    }
    return inFile;
}

// Refuses an OUTPUT that is the input or another file of the run; every file of the run, for the
// report's own check.
Result<std::vector<RunFile>> CheckOutput(const RewriteRun& run, std::FILE* in) {
    if (!run.fromStdin && !run.toStdout && SameFile(run.inputPath, run.outputPath)) {
        return Fail("Error: " + run.inputName + " is both the input and the output. No file was changed.");
    }
    // "rewrite amp.net >> amp.net" would read its own output until the disk is full.
    if (run.toStdout ? SameRegularFile(in, stdout) : run.fromStdin && SameRegularFile(in, run.outputPath)) {
        return Fail("Error: The output (" + run.outputName + ") is the input file (" + run.inputName +
                    "). Nothing was written.");
    }
    std::vector<RunFile> files;
    for (const std::filesystem::path& settings : run.settingsPaths) {
        files.push_back({settings, "settings file"});
    }
    if (!run.toStdout) {
        if (Result<void> clear = CheckOverwrite("output", run.outputPath, files); !clear) {
            return Fail(clear.error());
        }
        files.push_back({run.outputPath, "netlist"});
    }
    if (!run.fromStdin) {
        files.push_back({run.inputPath, "netlist"});
    }
    return files;
}

// The exit status of a completed run, after saying so when no line held a Key, and when devices
// give their sizes as SPICE does (a file only: standard input cannot be read again).
int CompletedStatus(const RewriteRun& run, const RunReport& report, std::span<const RewriteRules> families) {
    if (!run.fromStdin) {
        PrintSpiceHint(CountReadAsSpice(run.inputPath, report));
    }
    if (report.devicesReplaced + report.devicesKept() == 0) {
        PrintError("Warning: " + NoKeyMessage(run.fromStdin ? PathFromText("standard input") : run.inputPath, families));
        return kExitKept;
    }
    return report.devicesKept() > 0 ? kExitKept : kExitOk;
}

// Writes straight to standard output or to a device, which cannot be renamed over. The exit
// status; nothing when the output could not even be opened.
std::optional<int> RewriteDirect(const RewriteRun& run, ByteReader& reader, std::span<const RewriteRules> families,
                                 const StreamOptions& streamOptions, const InputWatch& input) {
    std::FILE* out = stdout;
    FilePtr outFile;
    if (run.toStdout) {
        SetBinaryMode(stdout);
    } else {
        std::error_code openError;
        outFile = OpenFile(run.outputPath, "w", openError);
        if (!outFile) {
            PrintError("Error: Cannot create " + run.outputName + ": " + ErrorText(openError.value()) + ".");
            return std::nullopt;
        }
        out = outFile.get();
    }
    std::setvbuf(out, nullptr, _IOFBF, kStdioBuffer);
    FileWriter writer(out);
    const StreamResult result = RewriteStream(reader, writer, families, streamOptions);
    const ReplaceNames names{run.inputName, run.outputName, {}, " The output is incomplete."};
    Result<void> written = StreamFailure(result, names);
    if (result.status == StreamStatus::Completed && outFile) {
        if (const std::error_code closeError = CloseFile(std::move(outFile))) {
            written = Fail("Error: Cannot write " + run.outputName + ": " + ErrorText(closeError) + "." +
                           names.note);
        }
    }
    if (written && input.changed(result.report.bytesRead)) {
        written = Fail("Error: " + run.inputName +
                       " changed while it was being read; the output may mix its old and new lines.");
    }
    if (!written) {
        PrintError(written.error());
        return kExitError;
    }
    return CompletedStatus(run, result.report, families);
}

// Writes a ReplacementFile that takes OUTPUT's place once the run is complete. The exit status;
// nothing when the new file could not even be created.
std::optional<int> RewriteIntoPlace(const RewriteRun& run, ReplaceTarget target, ByteReader& reader,
                                    std::span<const RewriteRules> families, const StreamOptions& streamOptions) {
    target.modeFrom = target.expected ? target.path : std::filesystem::path();
    target.bufferSize = kStdioBuffer;
    const ReplaceNames names{run.inputName, run.outputName, {}, " " + run.outputName + " was not changed."};
    const ReplaceResult result = RewriteReplacing(reader, target, families, streamOptions, names);
    if (!result.placement.keptOld.empty()) {
        PrintError("The earlier " + run.outputName + " was kept as " + QuotedPath(result.placement.keptOld) + ".");
    }
    if (result.error) {
        PrintError(*result.error);
        return result.created ? std::optional<int>(kExitError) : std::nullopt;
    }
    std::vector<std::string> keys;
    for (const RewriteRules& rules : families) {
        keys.push_back(rules.keyN);
        keys.push_back(rules.keyP);
    }
    RememberOutput(target.path, std::move(keys));
    return CompletedStatus(run, result.report, families);
}

int RunRewrite(const RewriteOptions& options) {
    const RewriteRun run = MakeRun(options);
    if (run.toStdout && options.rules.report == "-") {
        PrintError("Error: The report and the rewritten netlist cannot both go to standard output.");
        return kExitUsage;
    }
    const Result<std::vector<RewriteRules>> families = LoadRules(options.rules);
    if (!families) {
        PrintError(families.error());
        return kExitError;
    }
    const Result<FilePtr> inFile = OpenInput(run);
    if (!inFile) {
        PrintError(inFile.error());
        return kExitError;
    }
    std::FILE* in = *inFile ? inFile->get() : stdin;
    const Result<std::vector<RunFile>> files = CheckOutput(run, in);
    if (!files) {
        PrintError(files.error());
        return kExitError;
    }
    const OutputPlan plan = run.toStdout ? OutputPlan{} : PlanOutput(run.outputPath);
    ReplaceTarget target;
    if (plan.replace) {
        // An existing OUTPUT may be a netlist of the user's, named by mistake.
        const Result<OutputGuard> guard = GuardOutput(plan.replaced, run.outputName, options.rules.backup);
        if (!guard) {
            PrintError(guard.error());
            return kExitError;
        }
        target.path = plan.replaced;
        target.expected = guard->expected;
        target.keepOld = guard->keepOld;
    }
    Report report;
    report.setFamilies(*families);
    report.setSizeRule(options.rules.sizes.rule);
    if (const Result<void> opened = OpenReport(report, options.rules.report, *files); !opened) {
        PrintError(opened.error());
        return kExitError;
    }
    std::setvbuf(in, nullptr, _IOFBF, kStdioBuffer);
    const InputWatch input(in, run.fromStdin ? std::filesystem::path() : run.inputPath);
    FileReader reader(in);
    const StreamOptions streamOptions =
        WatchDevices(run.fromStdin ? "<stdin>" : options.input, report, options.rules, *families);
    target.input = &input;
    const std::optional<int> status = plan.replace
                                          ? RewriteIntoPlace(run, target, reader, *families, streamOptions)
                                          : RewriteDirect(run, reader, *families, streamOptions, input);
    if (!status) {
        return kExitError; // OUTPUT could not be created; the report stays as it is
    }
    if (const Result<void> closed = report.close(); !closed) {
        PrintError(closed.error());
        return kExitError;
    }
    return *status;
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
