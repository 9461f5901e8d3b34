// SPDX-License-Identifier: MIT
// Ways to make the file system fail on purpose, each usable as root (which CI is) or reporting
// why it cannot be used, and small helpers to look at what a failed run left behind.
#pragma once

#include "rewrite/line_rewriter.h"

#include <sys/resource.h>

#include <csignal>
#include <filesystem>
#include <optional>
#include <set>
#include <string>

namespace tarvex::test {

// Takes the capabilities that let root ignore permission bits (CAP_DAC_OVERRIDE,
// CAP_DAC_READ_SEARCH, CAP_FOWNER) out of the thread's effective set and puts them back on
// destruction; they stay permitted, so they can be raised again. skipReason() is set when
// permission bits are still not honoured afterwards (then a test of them would prove nothing).
class PermissionBitsHonoured {
public:
    PermissionBitsHonoured();
    ~PermissionBitsHonoured();
    PermissionBitsHonoured(const PermissionBitsHonoured&) = delete;
    PermissionBitsHonoured& operator=(const PermissionBitsHonoured&) = delete;

    const std::optional<std::string>& skipReason() const { return m_skipReason; }

private:
    bool m_dropped = false;
    unsigned m_saved[2] = {0, 0}; // effective sets of the two capability words
    std::optional<std::string> m_skipReason;
};

// Lowers the soft RLIMIT_FSIZE and ignores SIGXFSZ, so that writing a file past the limit fails
// with EFBIG like a full disk instead of killing the process. Works for root as well, and needs
// no privilege to restore, since the hard limit is left alone.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes);
    ~FileSizeLimit();
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit m_saved{};
    struct sigaction m_savedAction {};
};

// A tmpfs of the given size mounted on a new folder, unmounted on destruction. skipReason() is set
// when mounting is not permitted (it needs CAP_SYS_ADMIN).
class SmallFileSystem {
public:
    SmallFileSystem(const std::filesystem::path& mountPoint, std::size_t bytes);
    ~SmallFileSystem();
    SmallFileSystem(const SmallFileSystem&) = delete;
    SmallFileSystem& operator=(const SmallFileSystem&) = delete;

    const std::optional<std::string>& skipReason() const { return m_skipReason; }

private:
    std::filesystem::path m_mountPoint;
    bool m_mounted = false;
    std::optional<std::string> m_skipReason;
};

// The names of the entries directly in folder.
std::set<std::string> EntriesOf(const std::filesystem::path& folder);

// What an earlier run with older part names made of netlist: every default Key replaced by
// "NCH_V1" or "PCH_V1", so a binned copy that choosing the backup may replace.
std::string OlderBinnedCopy(std::string netlist);

// Bounds and names that put "L=1U W=2U" devices into cell [0][0] of both tables: "NCH" and "PCH".
RewriteRules SmallRules();

} // namespace tarvex::test
