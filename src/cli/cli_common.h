// SPDX-License-Identifier: MIT
// What the subcommands share: exit statuses, the settings and Key options, messages on stderr, the
// CSV report and the listing of devices that kept their Key.
#pragma once

#include "files/byte_stream.h"
#include "files/file_stamp.h"
#include "process/process.h"
#include "rewrite/netlist_rewrite.h"
#include "text/result.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace CLI {
class App;
}

namespace tarvex::cli {

enum ExitStatus : int {
    kExitOk = 0,    // every device got a part name
    kExitError = 1, // the run stopped: bad bounds, empty Key, file error, name without extension
    kExitUsage = 2, // the command line could not be understood
    kExitKept = 3,  // the run completed, but some devices kept their Key
};

// Options of every command that rewrites: the settings files (one per device family, binned in
// this order), Keys overriding the stored ones (with one settings file only), the CSV report ("-"
// for standard output), the threads that rewrite (0: one per core), and whether a file that Tarvex
// cannot tell from the user's work may be replaced, kept as a numbered backup.
struct RuleOptions {
    std::vector<std::string> settings;
    std::optional<std::string> keyN;
    std::optional<std::string> keyP;
    std::optional<std::string> report;
    unsigned threads = 0;
    bool backup = false;
    // How sizes are read: --sizes classic|spice, --scale, --per-finger.
    SizeOptions sizes;
};

void AddRuleOptions(CLI::App& command, RuleOptions& options);

// Both tables of each settings file with its Keys (the default for a Key stored empty), unless a
// Key is given on the command line, checked by CheckRules (Keys and part names, and Keys across the
// files) before any netlist is touched. The files are only read: a missing one is an error, never
// created. The families, one per settings file.
Result<std::vector<RewriteRules>> LoadRules(const RuleOptions& options);

// What a run of process may rely on: the user's state folder, and --backup's answer to a doubt.
ProcessSafety SafetyOf(const RuleOptions& options);

// Writes one message and a line end to stderr.
void PrintError(std::string_view message);

// The netlists named, each once: a file named twice (by any path) would otherwise be processed or
// counted twice, and a second process would back up the first one's output over the placeholders.
std::vector<std::string> Distinct(const std::vector<std::string>& netlists);

// A file the run reads or writes, and the words that name it in messages ("netlist", "settings file").
struct RunFile {
    std::filesystem::path path;
    std::string_view role;
};

// The settings files and every name that processing each netlist touches (the chosen file, its
// ".ant" and its ".net"), which no report may overwrite; fails when one of them is a settings file.
// process and check refuse alike.
Result<std::vector<RunFile>> CollectRunFiles(const std::vector<std::string>& settings,
                                             const std::vector<std::string>& netlists);

// Fails for a netlist name that Process cannot plan ("amp: Input file cannot have .OUT
// extension!"): the window's text names no file, so the netlist is named in front of it.
Result<void> CheckPlannable(const std::string& netlist);

// Refuses written ("the report", "the output") when it names one of files by any path; checked
// before anything is created.
Result<void> CheckOverwrite(std::string_view what, const std::filesystem::path& written,
                            const std::vector<RunFile>& files);

// How an output that the user named (rewrite's OUTPUT, import's --output) may take the place of
// the file there: Tarvex's own earlier output goes freely; any other existing file only with
// --backup, which keeps it as a numbered backup, since it may be the user's work.
struct OutputGuard {
    std::optional<FileStamp> expected; // the file as found; empty: there is none
    bool keepOld = false;
};

// The guard for path, or the refusal (naming the file as name, offering --backup).
Result<OutputGuard> GuardOutput(const std::filesystem::path& path, std::string_view name, bool backup);

// Remembers the file at path as Tarvex's own output (binned with keys, if any), so that the next
// run may replace it without a question.
void RememberOutput(const std::filesystem::path& path, std::vector<std::string> keys = {});

// The Key a device's event is about, among the families of the run.
std::string_view KeyOf(const DeviceEvent& event, std::span<const RewriteRules> families);

// The --report CSV: a header, then one row per Key found on a device line. A run of several
// families adds a last column, the Key, which polarity alone no longer tells.
class Report {
public:
    // The families of the run, before open.
    void setFamilies(std::span<const RewriteRules> families) { m_families = families; }
    // Under the SPICE rule each row also gives L, W and NF as written and where they came from.
    void setSizeRule(SizeRule rule) { m_rule = rule; }
    // Creates the report at path, "-" being standard output.
    Result<void> open(const std::string& path);
    bool isOpen() const { return m_file != nullptr; }
    void addRow(std::string_view file, std::uint64_t line, const DeviceEvent& event);
    // Flushes and closes the report; fails when any of it could not be written.
    Result<void> close();

private:
    FilePtr m_owned;
    std::FILE* m_file = nullptr;
    std::string m_name;
    std::string m_row; // reused for every row
    std::span<const RewriteRules> m_families;
    SizeRule m_rule = SizeRule::Classic;
    bool m_ok = true;
    std::error_code m_error; // of the first failed write
};

// Opens the --report file when one is named, after refusing a path that is one of files (standard
// output is always allowed).
Result<void> OpenReport(Report& report, const std::optional<std::string>& path,
                        const std::vector<RunFile>& files);

// Options for one run over file (the name used in messages and the report) with the rules' threads
// and size rule:
// every device that keeps its Key is named on stderr as "file:line: message", and every device goes
// to the report. A device kept because its line has no readable "L=" or "W=" is told so, rather than
// the lookup of a size 0 the line never gave. With several families, each message ends with the Key.
StreamOptions WatchDevices(std::string file, Report& report, const RuleOptions& rules,
                           std::span<const RewriteRules> families = {});

// How the SPICE rule read a device, for its message and the report: each size as written with its
// source, NF, and the scale ("l=0.15 literal, w={wp} parameter, nf=2, scale 1e-06"); empty under the
// classic rule.
std::string DescribeSizes(const DeviceEvent& event);

// Of the Keys that a classic run over the regular file at path kept for want of a readable size
// (report.linesWithoutSize), how many stand on devices the SPICE rule reads; the file is read again
// only when there are such Keys.
std::uint64_t CountReadAsSpice(const std::filesystem::path& path, const RunReport& report);

// Says once on stderr, when devices is not 0, that they give their sizes as SPICE does and that
// --sizes spice reads them.
void PrintSpiceHint(std::uint64_t devices);

} // namespace tarvex::cli
