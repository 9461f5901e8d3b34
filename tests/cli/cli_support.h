// SPDX-License-Identifier: MIT
// Helpers for tests of the command-line tool as users run it: a child process with its standard
// streams on files, and the expected rewrite of a whole netlist.
#pragma once

#include "reference.h"
#include "rewrite/line_rewriter.h"
#include "settings/settings_file.h"

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace tarvex::test {

struct RunOptions {
    std::filesystem::path stdinFrom = "/dev/null";
    std::filesystem::path stdoutTo;   // empty: captured into RunResult::out
    bool appendStdout = false;        // stdoutTo opened for appending (">>"), not truncated
    std::filesystem::path workingDir; // empty: the test's own
    std::filesystem::path stateHome;  // XDG_STATE_HOME of the run; empty: one folder for the test program
};

struct RunResult {
    int exitCode = -1; // the exit status, or minus the signal that ended the child
    std::string out;
    std::string err;
};

// Runs program with args and waits for it.
RunResult Run(const std::filesystem::path& program, const std::vector<std::string>& args,
              const RunOptions& options = {});

// Runs the tarvex-cli under test.
RunResult RunCli(const std::vector<std::string>& args, const RunOptions& options = {});

// Where two texts first differ, with a little of each from there, or nothing when they are equal;
// keeps the failure message of a large netlist short.
std::string FirstDifference(std::string_view actual, std::string_view expected);

// The rules a run with this settings file uses when no Key is given on the command line.
RewriteRules RulesOf(const SettingsFile& settings);

// The netlist rewritten by the fuzz targets' literal reference.
inline std::string ReferenceRewrite(std::string_view netlist, const RewriteRules& rules) {
    return fuzz::ReferenceRewrite(netlist, rules).output;
}

} // namespace tarvex::test
