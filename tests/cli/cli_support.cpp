// SPDX-License-Identifier: MIT
#include "cli_support.h"

#include "support/temp_dir.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <stdexcept>

namespace tarvex::test {
namespace {

// In the child: puts path on fd, or ends the child.
void Redirect(int fd, const std::filesystem::path& path, int flags) {
    const int opened = ::open(path.c_str(), flags, 0644);
    if (opened < 0 || ::dup2(opened, fd) < 0) {
        ::_exit(126);
    }
    ::close(opened);
}

} // namespace

RunResult Run(const std::filesystem::path& program, const std::vector<std::string>& args,
              const RunOptions& options) {
    const TempDir io;
    const std::filesystem::path outPath = options.stdoutTo.empty() ? io / "stdout" : options.stdoutTo;
    const std::filesystem::path errPath = io / "stderr";
    std::vector<char*> argv;
    std::string name = program.string();
    argv.push_back(name.data());
    std::vector<std::string> copies(args);
    for (std::string& arg : copies) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);

    // What the tool remembers between runs (the record of its outputs, its locks) stays in a
    // folder of this test program's, shared by all its runs, and never reaches the user's home.
    static const TempDir state;
    const std::string stateHome = (options.stateHome.empty() ? state.path() : options.stateHome).string();
    const pid_t child = ::fork();
    if (child < 0) {
        throw std::runtime_error("fork failed");
    }
    if (child == 0) {
        ::setenv("XDG_STATE_HOME", stateHome.c_str(), 1);
        if (!options.workingDir.empty() && ::chdir(options.workingDir.c_str()) != 0) {
            ::_exit(126);
        }
        Redirect(STDIN_FILENO, options.stdinFrom, O_RDONLY);
        Redirect(STDOUT_FILENO, outPath, O_WRONLY | O_CREAT | (options.appendStdout ? O_APPEND : O_TRUNC));
        Redirect(STDERR_FILENO, errPath, O_WRONLY | O_CREAT | O_TRUNC);
        ::execv(name.c_str(), argv.data());
        ::_exit(127);
    }
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    RunResult result;
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
    if (options.stdoutTo.empty()) {
        result.out = ReadFileBytes(outPath);
    }
    result.err = ReadFileBytes(errPath);
    return result;
}

RunResult RunCli(const std::vector<std::string>& args, const RunOptions& options) {
    return Run(TARVEX_CLI_PATH, args, options);
}

std::string FirstDifference(std::string_view actual, std::string_view expected) {
    const auto [a, e] = std::mismatch(actual.begin(), actual.end(), expected.begin(), expected.end());
    if (a == actual.end() && e == expected.end()) {
        return {};
    }
    const auto at = static_cast<std::size_t>(a - actual.begin());
    return "at byte " + std::to_string(at) + " of " + std::to_string(actual.size()) + "/" +
           std::to_string(expected.size()) + ": \"" + std::string(actual.substr(at, 60)) + "\" vs \"" +
           std::string(expected.substr(at, 60)) + "\"";
}

RewriteRules RulesOf(const SettingsFile& settings) {
    RewriteRules rules;
    rules.tableN = settings.tableN;
    rules.tableP = settings.tableP;
    rules.keyN = KeyText(settings.keyN).empty() ? kDefaultKeyN : KeyText(settings.keyN);
    rules.keyP = KeyText(settings.keyP).empty() ? kDefaultKeyP : KeyText(settings.keyP);
    return rules;
}

} // namespace tarvex::test
