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
#include <optional>
#include <set>
#include <string>
#include <string_view>

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

// What a case finds at amp.net or amp.ant before the run: nothing, a file, or a folder holding
// keep.txt with these bytes.
struct Entry {
    enum class Kind { Absent, File, Folder };
    Kind kind = Kind::Absent;
    std::string_view bytes = {};
};

constexpr Entry File(std::string_view bytes) {
    return {Entry::Kind::File, bytes};
}

constexpr Entry Folder(std::string_view bytes) {
    return {Entry::Kind::Folder, bytes};
}

// What is made read-only or unreadable before the run, with root's capabilities dropped.
enum class Lock { None, BothFiles, Netlist, Folder };

// What the state folder remembers from an earlier run: amp.ant as the backup moved aside for
// amp.net, or amp.net as the output binned from amp.ant. None: the run has no state folder.
enum class Memory { None, Backup, Output };

struct PlaceCase {
    std::string name;
    Entry net;
    Entry ant;
    std::string chosen;
    std::string error;           // the message, with {dir} for the folder; empty when the run completes
    std::set<std::string> after; // the folder's entries afterwards
    Lock lock = Lock::None;
    Memory memory = Memory::None;
};

void PrintTo(const PlaceCase& c, std::ostream* os) {
    *os << c.name;
}

void Put(const fs::path& path, const Entry& entry) {
    if (entry.kind == Entry::Kind::File) {
        WriteFileBytes(path, entry.bytes);
    } else if (entry.kind == Entry::Kind::Folder) {
        fs::create_directory(path);
        WriteFileBytes(path / "keep.txt", entry.bytes);
    }
}

void ExpectUnchanged(const fs::path& path, const Entry& entry) {
    SCOPED_TRACE(path.filename().string());
    if (entry.kind == Entry::Kind::File) {
        EXPECT_EQ(ReadFileBytes(path), entry.bytes);
    } else if (entry.kind == Entry::Kind::Folder) {
        EXPECT_TRUE(fs::is_directory(path));
        EXPECT_EQ(ReadFileBytes(path / "keep.txt"), entry.bytes);
    }
}

void Restrict(const fs::path& folder, Lock lock) {
    if (lock == Lock::BothFiles) {
        fs::permissions(folder / "amp.net", fs::perms::owner_read);
        fs::permissions(folder / "amp.ant", fs::perms::owner_read);
    } else if (lock == Lock::Netlist) {
        fs::permissions(folder / "amp.net", fs::perms::none);
    } else if (lock == Lock::Folder) {
        fs::permissions(folder, fs::perms::owner_read | fs::perms::owner_exec);
    }
}

class ProcessPlaceTest : public testing::TestWithParam<PlaceCase> {};

// The files around the chosen netlist in the way: a refusal names the file and leaves every entry
// as it was; a run that completes has the original as the backup and its rewrite as the ".net".
TEST_P(ProcessPlaceTest, StopsUntouchedOrKeepsTheOriginal) {
    const PlaceCase& c = GetParam();
    std::optional<test::PermissionBitsHonoured> honoured;
    if (c.lock != Lock::None) {
        honoured.emplace();
        if (honoured->skipReason()) {
            GTEST_SKIP() << *honoured->skipReason();
        }
    }
    const TempDir dir;
    const test::ProcessMemory memory;
    Put(dir / "amp.net", c.net);
    Put(dir / "amp.ant", c.ant);
    if (c.memory == Memory::Backup) {
        memory.rememberBackup(dir / "amp.net", dir / "amp.ant");
    } else if (c.memory == Memory::Output) {
        memory.rememberOutput(dir / "amp.net", dir / "amp.ant");
    }
    Restrict(dir.path(), c.lock);

    const ProcessOutcome outcome = ProcessNetlist(
        dir / c.chosen, test::SmallRules(), {}, c.memory == Memory::None ? ProcessSafety{} : memory.safety());

    std::string error = c.error;
    for (std::size_t at; (at = error.find("{dir}")) != std::string::npos;) {
        error.replace(at, 5, dir.path().string());
    }
    EXPECT_EQ(outcome.error.value_or(""), error);
    if (c.lock == Lock::Netlist) {
        fs::permissions(dir / "amp.net", fs::perms::owner_read);
    }
    EXPECT_EQ(EntriesOf(dir.path()), c.after);
    if (!c.error.empty()) {
        ExpectUnchanged(dir / "amp.net", c.net);
        ExpectUnchanged(dir / "amp.ant", c.ant);
        return;
    }
    // The chosen netlist, or the backup when the chosen one is gone.
    const Entry& chosen = c.chosen == "amp.net" ? c.net : c.ant;
    const std::string_view original = chosen.kind == Entry::Kind::File ? chosen.bytes : c.ant.bytes;
    EXPECT_EQ(ReadFileBytes(dir / "amp.ant"), original);
    EXPECT_EQ(ReadFileBytes(dir / "amp.net"), Expected(original));
    if (c.lock == Lock::BothFiles) {
        // Moved, not written: the backup keeps its permissions.
        EXPECT_EQ(fs::status(dir / "amp.ant").permissions() & fs::perms::all, fs::perms::owner_read);
    }
}

constexpr Entry kAbsent{};
const std::set<std::string> kBoth{"amp.ant", "amp.net"};
const std::set<std::string> kNet{"amp.net"};
const std::set<std::string> kAnt{"amp.ant"};
const std::set<std::string> kNothing{};
const std::set<std::string> kOlderKept{"amp.ant", "amp.ant.~1~", "amp.net"};

INSTANTIATE_TEST_SUITE_P(
    Cases, ProcessPlaceTest,
    testing::Values(
        PlaceCase{"ReadOnlyNetlistAndBackupAreMovedNotWritten", File(kNetlist), File(kOldOutput), "amp.net",
                  "", kOlderKept, Lock::BothFiles},
        // Refused before anything is moved, also for root without the capabilities to read anything.
        PlaceCase{"NetlistWithoutReadPermission", File(kNetlist), File(kOldOutput), "amp.net",
                  "Error: Cannot read \"{dir}/amp.net\": Permission denied. No file was changed.", kBoth,
                  Lock::Netlist},
        PlaceCase{"ReadOnlyFolderStopsBeforeTheMoveAside", File(kNetlist), File(kOldOutput), "amp.net",
                  "Error: Cannot move \"{dir}/amp.net\" aside to \"{dir}/amp.ant\": Permission denied. No "
                  "file was changed.",
                  kBoth, Lock::Folder, Memory::Backup},
        PlaceCase{"ReadOnlyFolderWithTheBackupChosenCreatesNothing", File(kOldBinned), File(kNetlist),
                  "amp.ant",
                  "Error: Cannot create \"{dir}/amp.net\": Permission denied. The original netlist is kept "
                  "as \"{dir}/amp.ant\".",
                  kBoth, Lock::Folder, Memory::Output},
        PlaceCase{"BackupThatIsAFolder", File(kNetlist), Folder(kOldOutput), "amp.net",
                  "Error: \"{dir}/amp.ant\" is a folder, not a netlist. No file was changed.", kBoth},
        PlaceCase{"TargetThatIsAFolder", Folder(kOldOutput), File(kNetlist), "amp.ant",
                  "Error: \"{dir}/amp.net\" is a folder, not a netlist. No file was changed.", kBoth},
        PlaceCase{"NetlistChosenIsAFolder", Folder(kNetlist), kAbsent, "amp.net",
                  "Error: \"{dir}/amp.net\" is a folder, not a netlist. No file was changed.", kNet},
        PlaceCase{"BackupChosenIsAFolder", kAbsent, Folder(kNetlist), "amp.ant",
                  "Error: \"{dir}/amp.ant\" is a folder, not a netlist. No file was changed.", kAnt},
        // The file chosen in the dialog is deleted before the run starts.
        PlaceCase{"NetlistGoneNothingElse", kAbsent, kAbsent, "amp.net",
                  "Error: \"{dir}/amp.net\" does not exist. No file was changed.", kNothing},
        PlaceCase{"BackupGoneOldOutputStays", File(kOldOutput), kAbsent, "amp.ant",
                  "Error: \"{dir}/amp.ant\" does not exist. No file was changed.", kNet},
        // What a run killed after the move aside leaves: the backup is the original.
        PlaceCase{"NetlistGoneBackupRegenerates", kAbsent, File(kNetlist), "amp.net", "", kBoth}),
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
