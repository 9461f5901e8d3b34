// SPDX-License-Identifier: MIT
// Process under file-system faults: each run either completes or stops with a message naming the
// file, and the original netlist is always intact under its own name or as the ".ant".
#include "fault_support.h"

#include "process/process.h"
#include "reference.h"
#include "support/param_name.h"
#include "support/process_memory.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace tarvex {
namespace {

namespace fs = std::filesystem;
using test::EntriesOf;
using test::ReadFileBytes;
using test::TempDir;
using test::WriteFileBytes;

constexpr std::string_view kNetlist =
    "* amp\nM1 d g s b MODxyN L=1U W=2U\nM2 d g s b MODxyP L=1U W=2U\n.end\n";
constexpr std::string_view kOldOutput = "* an earlier output, not to be lost\n";
// kNetlist binned with older part names: an output that choosing the backup may replace.
constexpr std::string_view kOldBinned =
    "* amp\nM1 d g s b NCH_V1 L=1U W=2U\nM2 d g s b PCH_V1 L=1U W=2U\n.end\n";

std::string Expected(std::string_view netlist) {
    return fuzz::ReferenceRewrite(netlist, test::SmallRules()).output;
}

std::string Q(const fs::path& path) {
    return "\"" + path.string() + "\"";
}

// The netlist a device-heavy design writes; names longer than the Keys make the output larger.
std::string DeviceLines(std::size_t bytes) {
    std::string netlist;
    for (int i = 0; netlist.size() < bytes; ++i) {
        netlist += "M" + std::to_string(i) + " d g s b " + (i % 2 ? "MODxyP" : "MODxyN") + " L=1U W=2U\n";
    }
    return netlist;
}

RewriteRules LongNameRules() {
    RewriteRules rules = test::SmallRules();
    SetPartName(rules.tableN, 0, 0, "NCH_LONG_PART_NAME1");
    SetPartName(rules.tableP, 0, 0, "PCH_LONG_PART_NAME1");
    return rules;
}

TEST(ProcessFaultTest, ReadOnlyNetlistAndBackupAreMovedNotWritten) {
    const test::PermissionBitsHonoured honoured;
    if (honoured.skipReason()) {
        GTEST_SKIP() << *honoured.skipReason();
    }
    const TempDir dir;
    WriteFileBytes(dir / "amp.net", kNetlist);
    WriteFileBytes(dir / "amp.ant", kOldOutput);
    fs::permissions(dir / "amp.net", fs::perms::owner_read);
    fs::permissions(dir / "amp.ant", fs::perms::owner_read);

    const ProcessOutcome outcome = ProcessNetlist(dir / "amp.net", test::SmallRules());

    EXPECT_FALSE(outcome.error) << *outcome.error;
    EXPECT_EQ(ReadFileBytes(dir / "amp.ant"), kNetlist);
    EXPECT_EQ(fs::status(dir / "amp.ant").permissions() & fs::perms::all, fs::perms::owner_read);
    EXPECT_EQ(ReadFileBytes(dir / "amp.net"), Expected(kNetlist));
}

// Moved from the process tests, where it skipped as root: without the capabilities that let root
// read anything, the unreadable netlist is refused before anything is moved.
TEST(ProcessFaultTest, NetlistWithoutReadPermissionIsRefusedBeforeTheMoveAside) {
    const test::PermissionBitsHonoured honoured;
    if (honoured.skipReason()) {
        GTEST_SKIP() << *honoured.skipReason();
    }
    const TempDir dir;
    WriteFileBytes(dir / "amp.ant", kOldOutput);
    WriteFileBytes(dir / "amp.net", kNetlist);
    fs::permissions(dir / "amp.net", fs::perms::none);

    const ProcessOutcome outcome = ProcessNetlist(dir / "amp.net", test::SmallRules());

    EXPECT_EQ(outcome.error.value_or(""),
              "Error: Cannot read " + Q(dir / "amp.net") + ": Permission denied. No file was changed.");
    fs::permissions(dir / "amp.net", fs::perms::owner_read);
    EXPECT_EQ(ReadFileBytes(dir / "amp.net"), kNetlist);
    EXPECT_EQ(ReadFileBytes(dir / "amp.ant"), kOldOutput);
    EXPECT_EQ(EntriesOf(dir.path()), (std::set<std::string>{"amp.ant", "amp.net"}));
}

TEST(ProcessFaultTest, ReadOnlyFolderStopsBeforeTheMoveAside) {
    const test::PermissionBitsHonoured honoured;
    if (honoured.skipReason()) {
        GTEST_SKIP() << *honoured.skipReason();
    }
    const TempDir dir;
    const test::ProcessMemory memory;
    WriteFileBytes(dir / "amp.net", kNetlist);
    WriteFileBytes(dir / "amp.ant", kOldOutput);
    memory.rememberBackup(dir / "amp.net", dir / "amp.ant");
    fs::permissions(dir.path(), fs::perms::owner_read | fs::perms::owner_exec);

    const ProcessOutcome outcome = ProcessNetlist(dir / "amp.net", test::SmallRules(), {}, memory.safety());

    ASSERT_TRUE(outcome.error);
    EXPECT_EQ(*outcome.error, "Error: Cannot move " + Q(dir / "amp.net") + " aside to " + Q(dir / "amp.ant") +
                                  ": Permission denied. No file was changed.");
    EXPECT_EQ(ReadFileBytes(dir / "amp.net"), kNetlist);
    EXPECT_EQ(ReadFileBytes(dir / "amp.ant"), kOldOutput);
    EXPECT_EQ(EntriesOf(dir.path()), (std::set<std::string>{"amp.ant", "amp.net"}));
}

TEST(ProcessFaultTest, ReadOnlyFolderWithTheBackupChosenCreatesNothing) {
    const test::PermissionBitsHonoured honoured;
    if (honoured.skipReason()) {
        GTEST_SKIP() << *honoured.skipReason();
    }
    const TempDir dir;
    const test::ProcessMemory memory;
    WriteFileBytes(dir / "amp.ant", kNetlist);
    WriteFileBytes(dir / "amp.net", kOldBinned);
    memory.rememberOutput(dir / "amp.net", dir / "amp.ant");
    fs::permissions(dir.path(), fs::perms::owner_read | fs::perms::owner_exec);

    const ProcessOutcome outcome = ProcessNetlist(dir / "amp.ant", test::SmallRules(), {}, memory.safety());

    ASSERT_TRUE(outcome.error);
    EXPECT_EQ(*outcome.error, "Error: Cannot create " + Q(dir / "amp.net") +
                                  ": Permission denied. The original netlist is kept as " +
                                  Q(dir / "amp.ant") + ".");
    EXPECT_EQ(ReadFileBytes(dir / "amp.ant"), kNetlist);
    EXPECT_EQ(ReadFileBytes(dir / "amp.net"), kOldBinned);
    EXPECT_EQ(EntriesOf(dir.path()), (std::set<std::string>{"amp.ant", "amp.net"}));
}

TEST(ProcessFaultTest, BackupThatIsAFolderCannotBeReplaced) {
    const TempDir dir;
    WriteFileBytes(dir / "amp.net", kNetlist);
    fs::create_directory(dir / "amp.ant");
    WriteFileBytes(dir / "amp.ant" / "keep.txt", kOldOutput);

    const ProcessOutcome outcome = ProcessNetlist(dir / "amp.net", test::SmallRules());

    ASSERT_TRUE(outcome.error);
    EXPECT_EQ(*outcome.error,
              "Error: " + Q(dir / "amp.ant") + " is a folder, not a netlist. No file was changed.");
    EXPECT_EQ(ReadFileBytes(dir / "amp.net"), kNetlist);
    EXPECT_EQ(ReadFileBytes(dir / "amp.ant" / "keep.txt"), kOldOutput);
    EXPECT_EQ(EntriesOf(dir.path()), (std::set<std::string>{"amp.ant", "amp.net"}));
}

TEST(ProcessFaultTest, TargetThatIsAFolderCannotBeReplaced) {
    const TempDir dir;
    WriteFileBytes(dir / "amp.ant", kNetlist);
    fs::create_directory(dir / "amp.net");
    WriteFileBytes(dir / "amp.net" / "keep.txt", kOldOutput);

    const ProcessOutcome outcome = ProcessNetlist(dir / "amp.ant", test::SmallRules());

    ASSERT_TRUE(outcome.error);
    EXPECT_EQ(*outcome.error,
              "Error: " + Q(dir / "amp.net") + " is a folder, not a netlist. No file was changed.");
    EXPECT_EQ(ReadFileBytes(dir / "amp.ant"), kNetlist);
    EXPECT_EQ(ReadFileBytes(dir / "amp.net" / "keep.txt"), kOldOutput);
    EXPECT_EQ(EntriesOf(dir.path()), (std::set<std::string>{"amp.ant", "amp.net"}));
}

// The file chosen in the dialog is deleted before the run starts.
struct VanishCase {
    std::string name;
    std::string chosen;
    bool backupLeft;             // an amp.ant from an earlier run is still there
    bool oldOutputLeft;          // an amp.net from an earlier run is still there
    std::string error;           // the message, with {dir} for the folder; empty when the run completes
    std::set<std::string> after; // the folder's entries afterwards
};

void PrintTo(const VanishCase& c, std::ostream* os) {
    *os << c.name;
}

class SourceVanishesTest : public testing::TestWithParam<VanishCase> {};

TEST_P(SourceVanishesTest, NothingIsLostOrMadeUp) {
    const VanishCase& c = GetParam();
    const TempDir dir;
    if (c.backupLeft) {
        WriteFileBytes(dir / "amp.ant", kNetlist);
    }
    if (c.oldOutputLeft) {
        WriteFileBytes(dir / "amp.net", kOldOutput);
    }

    const ProcessOutcome outcome = ProcessNetlist(dir / c.chosen, test::SmallRules());

    std::string error = c.error;
    for (std::size_t at; (at = error.find("{dir}")) != std::string::npos;) {
        error.replace(at, 5, dir.path().string());
    }
    EXPECT_EQ(outcome.error.value_or(""), error);
    EXPECT_EQ(EntriesOf(dir.path()), c.after);
    if (c.backupLeft) {
        EXPECT_EQ(ReadFileBytes(dir / "amp.ant"), kNetlist);
    }
    if (c.after.contains("amp.net")) {
        EXPECT_EQ(ReadFileBytes(dir / "amp.net"),
                  c.error.empty() ? Expected(kNetlist) : std::string(kOldOutput));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SourceVanishesTest,
    testing::Values(
        VanishCase{
            "NetlistGoneNothingElse",
            "amp.net",
            false,
            false,
            "Error: \"{dir}/amp.net\" does not exist. No file was changed.",
            {}},
        VanishCase{"BackupGoneOldOutputStays",
                   "amp.ant",
                   false,
                   true,
                   "Error: \"{dir}/amp.ant\" does not exist. No file was changed.",
                   {"amp.net"}},
        // What a run killed after the move aside leaves: the backup is the original.
        VanishCase{"NetlistGoneBackupRegenerates", "amp.net", true, false, "", {"amp.ant", "amp.net"}}),
    test::RowName());

// Disk full while the ".net" is written: through RLIMIT_FSIZE (EFBIG, works for any user) and
// through a small tmpfs (ENOSPC, needs the right to mount).
struct DiskFullCase {
    std::string name;
    std::string chosen;
    bool oldOutput; // an amp.net from an earlier run exists and must survive
};

void PrintTo(const DiskFullCase& c, std::ostream* os) {
    *os << c.name;
}

class DiskFullTest : public testing::TestWithParam<DiskFullCase> {
protected:
    static constexpr std::size_t kNetlistSize = 256 * 1024;

    void Prepare(const fs::path& folder) {
        m_netlist = DeviceLines(kNetlistSize);
        const DiskFullCase& c = GetParam();
        WriteFileBytes(folder / (c.chosen == "amp.net" ? "amp.net" : "amp.ant"), m_netlist);
        if (c.oldOutput) {
            WriteFileBytes(folder / "amp.net", test::OlderBinnedCopy(m_netlist));
            m_memory.rememberOutput(folder / "amp.net", folder / "amp.ant");
        }
    }

    ProcessSafety Safety() const { return m_memory.safety(); }

    void ExpectNothingLost(const fs::path& folder, const ProcessOutcome& outcome, const std::string& reason) {
        const DiskFullCase& c = GetParam();
        ASSERT_TRUE(outcome.error);
        EXPECT_EQ(*outcome.error, "Error: Cannot write " + Q(folder / "amp.net") + ": " + reason +
                                      ". The original netlist is kept as " + Q(folder / "amp.ant") + ".");
        EXPECT_TRUE(ReadFileBytes(folder / "amp.ant") == m_netlist);
        if (c.oldOutput) {
            EXPECT_TRUE(ReadFileBytes(folder / "amp.net") == test::OlderBinnedCopy(m_netlist));
            EXPECT_EQ(EntriesOf(folder), (std::set<std::string>{"amp.ant", "amp.net"}));
        } else {
            EXPECT_EQ(EntriesOf(folder), std::set<std::string>{"amp.ant"});
        }
    }

    std::string m_netlist;
    test::ProcessMemory m_memory;
};

TEST_P(DiskFullTest, FileSizeLimitStopsTheRunAndKeepsEveryFile) {
    const TempDir dir;
    Prepare(dir.path());
    ProcessOutcome outcome;
    {
        const test::FileSizeLimit limit(64 * 1024);
        outcome = ProcessNetlist(dir / GetParam().chosen, LongNameRules(), {}, Safety());
    }
    ExpectNothingLost(dir.path(), outcome, "File too large");
}

// The same on several threads, the write failing while later chunks are being rewritten.
TEST_P(DiskFullTest, FileSizeLimitStopsAParallelRunAndKeepsEveryFile) {
    const TempDir dir;
    Prepare(dir.path());
    StreamOptions options;
    options.threads = 3;
    options.tuning = {4096, 4};
    ProcessOutcome outcome;
    {
        const test::FileSizeLimit limit(64 * 1024);
        outcome = ProcessNetlist(dir / GetParam().chosen, LongNameRules(), options, Safety());
    }
    ExpectNothingLost(dir.path(), outcome, "File too large");
}

TEST_P(DiskFullTest, FullFileSystemStopsTheRunAndKeepsEveryFile) {
    const TempDir dir;
    // Room for the netlist and an old output (as large as the netlist), not for the larger new output
    // besides them.
    const test::SmallFileSystem small(dir / "small", (GetParam().oldOutput ? 768 : 512) * 1024);
    if (small.skipReason()) {
        GTEST_SKIP() << *small.skipReason();
    }
    const fs::path folder = dir / "small";
    Prepare(folder);
    const ProcessOutcome outcome = ProcessNetlist(folder / GetParam().chosen, LongNameRules(), {}, Safety());
    ExpectNothingLost(folder, outcome, "No space left on device");
}

INSTANTIATE_TEST_SUITE_P(Cases, DiskFullTest,
                         testing::Values(DiskFullCase{"NetlistChosen", "amp.net", false},
                                         DiskFullCase{"BackupChosenOverOldOutput", "amp.ant", true}),
                         test::RowName());

TEST(ProcessFaultTest, FolderChosenAsNetlistIsRefusedUntouched) {
    for (const char* chosen : {"amp.net", "amp.ant"}) {
        SCOPED_TRACE(chosen);
        const TempDir dir;
        fs::create_directory(dir / chosen);
        WriteFileBytes(dir / chosen / "inner.net", kNetlist);

        const ProcessOutcome outcome = ProcessNetlist(dir / chosen, test::SmallRules());

        ASSERT_TRUE(outcome.error);
        EXPECT_EQ(*outcome.error,
                  "Error: " + Q(dir / chosen) + " is a folder, not a netlist. No file was changed.");
        EXPECT_EQ(EntriesOf(dir.path()), std::set<std::string>{chosen});
        EXPECT_EQ(ReadFileBytes(dir / chosen / "inner.net"), kNetlist);
    }
}

TEST(ProcessFaultTest, SymlinkedNetlistTargetIsNeverWritten) {
    const TempDir dir;
    fs::create_directory(dir / "shared");
    fs::create_directory(dir / "work");
    WriteFileBytes(dir / "shared" / "amp.net", kNetlist);
    fs::create_symlink("../shared/amp.net", dir / "work" / "amp.net");

    const ProcessOutcome outcome = ProcessNetlist(dir / "work" / "amp.net", test::SmallRules());

    EXPECT_FALSE(outcome.error) << *outcome.error;
    EXPECT_EQ(ReadFileBytes(dir / "shared" / "amp.net"), kNetlist);
    EXPECT_TRUE(fs::is_symlink(dir / "work" / "amp.ant"));
    EXPECT_FALSE(fs::is_symlink(dir / "work" / "amp.net"));
    EXPECT_EQ(ReadFileBytes(dir / "work" / "amp.net"), Expected(kNetlist));
}

} // namespace
} // namespace tarvex
