// SPDX-License-Identifier: MIT
// An advisory lock that keeps two runs of Tarvex (windows, command lines, other users' runs of the
// same account) from working on one netlist at a time, and the per-user folder where Tarvex keeps
// such locks and the record of the files it wrote.
#pragma once

#include <chrono>
#include <filesystem>
#include <memory>
#include <system_error>

namespace tarvex {

class RunLock {
public:
    // Takes the lock file at path (created, with its folder, when missing), waiting up to wait while
    // another run holds it. Nothing when it cannot be had: busy is then set when another run holds
    // it, error when the file cannot be made or locked. The lock goes with the returned object, and
    // with the process if it dies.
    static std::unique_ptr<RunLock> Acquire(const std::filesystem::path& path, std::chrono::milliseconds wait,
                                            bool& busy, std::error_code& error);
    virtual ~RunLock() = default;

protected:
    RunLock() = default;
};

// The user's folder for what Tarvex remembers between runs: "$XDG_STATE_HOME/Quendale/tarvex" or
// "~/.local/state/Quendale/tarvex" on POSIX systems, "%LOCALAPPDATA%\Quendale\tarvex" on Windows.
// Empty when the environment names no home.
std::filesystem::path UserStateFolder();

} // namespace tarvex
