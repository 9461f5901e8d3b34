// SPDX-License-Identifier: MIT
// What the subcommands share: exit statuses, the settings and Key options, messages on stderr, the
// CSV report and the listing of devices that kept their Key.
#pragma once

#include "files/byte_stream.h"
#include "netlist/netlist_rewrite.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
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

// Options of every command that rewrites: the settings file, Keys overriding the stored ones and
// the CSV report ("-" for standard output).
struct RuleOptions {
    std::string settings;
    std::optional<std::string> keyN;
    std::optional<std::string> keyP;
    std::optional<std::string> report;
};

void AddRuleOptions(CLI::App& command, RuleOptions& options);

struct RulesResult {
    std::optional<RewriteRules> rules;
    std::string error;
};

// Both tables from the settings file with its Keys (the default for a Key stored empty), unless a
// Key is given on the command line; an empty Key given there is kept, for CheckRules to refuse.
// The file is only read: a missing one is an error, never created.
RulesResult LoadRules(const RuleOptions& options);

// Writes one message and a line end to stderr.
void PrintError(std::string_view message);

// True when a and b name the same file, existing or not (through links, "./" and "..").
bool SameFile(const std::filesystem::path& a, const std::filesystem::path& b);

// The refusal when the report (unless "-") would be written over one of files, which hold
// netlists the run reads or writes; checked before anything is created.
std::optional<std::string> CheckReportPath(const std::optional<std::string>& report,
                                           const std::vector<std::filesystem::path>& files);

// The --report CSV: a header, then one row per Key found on a device line.
class Report {
public:
    // Creates the report at path, "-" being standard output; the message when it cannot.
    std::optional<std::string> open(const std::string& path);
    bool isOpen() const { return m_file != nullptr; }
    void addRow(std::string_view file, std::uint64_t line, const DeviceEvent& event);
    // Flushes and closes the report; the message when any of it could not be written.
    std::optional<std::string> close();

private:
    FilePtr m_owned;
    std::FILE* m_file = nullptr;
    std::string m_name;
    std::string m_row; // reused for every row
    bool m_ok = true;
};

// Options for one run over file (the name used in messages and the report): every device that
// keeps its Key is named on stderr as "file:line: message", and every device goes to the report.
StreamOptions WatchDevices(std::string file, Report& report);

} // namespace tarvex::cli
