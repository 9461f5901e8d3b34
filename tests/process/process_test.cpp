// SPDX-License-Identifier: MIT
// Process on real files in temporary folders: the backup and naming scheme, the refusals made before
// any file is touched, and failures that must leave the original netlist intact. Faults that need a
// broken file system (read-only folders, a full disk, a killed run) are in tests/faults.
#include "process/process.h"

#include "files/paths.h"
#include "support/failure_of.h"
#include "support/param_name.h"
#include "support/process_memory.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace tarvex {
namespace {

namespace fs = std::filesystem;
using test::ReadFileBytes;
using test::TempDir;
using test::WriteFileBytes;
using Files = std::map<std::string, std::string>; // path relative to the folder → content

constexpr const char* kNetlist = "* amp\r\n"
                                 "M1 d g s b MODxyN L=1U W=2U\r\n"
                                 "M2 d g s b MODxyP L=1U W=2U\n"
                                 "M3 d g s b MODxyN L=1U W=20U\n"
                                 ".end";
constexpr const char* kRewritten = "* amp\r\n"
                                   "M1 d g s b NCH L=1U W=2U\r\n"
                                   "M2 d g s b PCH_LONG L=1U W=2U\n"
                                   "M3 d g s b MODxyN L=1U W=20U\n"
                                   ".end";
constexpr const char* kOld = "* an older file that a failed run must not lose\n";
// What an earlier run with older part names made of kNetlist: a binned copy of it, which choosing
// the backup may replace.
constexpr const char* kOldOutput = "* amp\r\n"
                                   "M1 d g s b NCH_V1 L=1U W=2U\r\n"
                                   "M2 d g s b PCH_V1 L=1U W=2U\n"
                                   "M3 d g s b MODxyN L=1U W=20U\n"
                                   ".end";

RewriteRules Rules() {
    RewriteRules rules;
    for (BinTable* table : {&rules.tableN, &rules.tableP}) {
        table->widthBounds = {1e-6, 5e-6, 1e-5, 0, 0, 0};
        table->lengthBounds = {5e-7, 2e-6, 0, 0, 0, 0};
    }
    SetPartName(rules.tableN, 0, 0, "NCH");
    SetPartName(rules.tableP, 0, 0, "PCH_LONG");
    return rules;
}

RewriteRules WithKeys(std::string keyN, std::string keyP) {
    RewriteRules rules = Rules();
    rules.keyN = std::move(keyN);
    rules.keyP = std::move(keyP);
    return rules;
}

RewriteRules WithBadBounds() {
    RewriteRules rules = Rules();
    rules.tableN.widthBounds = {0, 1e-6, 0, 0, 0, 0};
    return rules;
}

void WriteFiles(const fs::path& folder, const Files& files) {
    for (const auto& [name, content] : files) {
        fs::create_directories((folder / name).parent_path());
        WriteFileBytes(folder / name, content);
    }
}

// Every regular file under folder with its content; symbolic links are listed as "-> target".
Files FilesIn(const fs::path& folder) {
    Files files;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        const std::string name = entry.path().lexically_relative(folder).generic_string();
        if (entry.is_symlink()) {
            files[name] = "-> " + fs::read_symlink(entry.path()).string();
        } else if (entry.is_regular_file()) {
            files[name] = ReadFileBytes(entry.path());
        }
    }
    return files;
}

// Puts the folder in place of "{dir}/", with the platform's own separator after it.
std::string InFolder(std::string text, const fs::path& folder) {
    const std::string prefix = (folder / "").string();
    for (std::size_t at; (at = text.find("{dir}/")) != std::string::npos;) {
        text.replace(at, 6, prefix);
    }
    return text;
}

struct ProcessCase {
    std::string name;
    Files before;
    std::string chosen;
    RewriteRules rules;
    std::string error; // with {dir} for the folder; empty when the run completes
    Files after;
    bool backup = false; // the user goes on at a doubt, keeping the file as a numbered backup
};

void PrintTo(const ProcessCase& c, std::ostream* os) {
    *os << c.name;
}

class ProcessFilesTest : public testing::TestWithParam<ProcessCase> {};

TEST_P(ProcessFilesTest, LeavesExactlyTheExpectedFiles) {
    const ProcessCase& c = GetParam();
    const TempDir dir;
    WriteFiles(dir.path(), c.before);

    const ProcessOutcome outcome = ProcessNetlist(dir / c.chosen, c.rules, {}, test::ProcessMemory().safety(c.backup));

    EXPECT_EQ(outcome.error.value_or(""), InFolder(c.error, dir.path()));
    EXPECT_EQ(outcome.completed(), c.error.empty());
    EXPECT_EQ(FilesIn(dir.path()), c.after);
}

const std::string kOutError = "Input file cannot have .OUT extension!";

INSTANTIATE_TEST_SUITE_P(
    Cases, ProcessFilesTest,
    testing::Values(ProcessCase{"NetlistKeepsABackupItDidNotMake",
                                {{"amp.net", kNetlist}, {"amp.ant", kOld}},
                                "amp.net",
                                Rules(),
                                "",
                                {{"amp.ant", kNetlist}, {"amp.ant.~1~", kOld}, {"amp.net", kRewritten}}},
                    ProcessCase{"BackupChosenRegeneratesNetlistOnly",
                                {{"amp.ant", kNetlist}},
                                "amp.ant",
                                Rules(),
                                "",
                                {{"amp.ant", kNetlist}, {"amp.net", kRewritten}}},
                    ProcessCase{"BackupChosenOverANetlistItDidNotWriteIsADoubt",
                                {{"amp.ant", kNetlist}, {"amp.net", kOldOutput}},
                                "amp.ant",
                                Rules(),
                                "Error: \"{dir}/amp.net\" was not written by Tarvex, or Tarvex has no record of it (a "
                                "new export, or an edit?); processing \"{dir}/amp.ant\" would replace it. If it is a "
                                "new export, choose \"{dir}/amp.net\" to bin it. To go on, keeping \"{dir}/amp.net\" "
                                "as \"{dir}/amp.net.~1~\", use --backup. No file was changed.",
                                {{"amp.ant", kNetlist}, {"amp.net", kOldOutput}}},
                    ProcessCase{"BackupChosenGoingOnKeepsTheNetlist",
                                {{"amp.ant", kNetlist}, {"amp.net", kOldOutput}, {"amp.net.~4~", kOld}},
                                "amp.ant",
                                Rules(),
                                "",
                                {{"amp.ant", kNetlist},
                                 {"amp.net", kRewritten},
                                 {"amp.net.~4~", kOld},
                                 {"amp.net.~5~", kOldOutput}},
                                true},
                    ProcessCase{"BackupChosenBesideACopyOfItReplacesTheCopy",
                                {{"amp.ant", kNetlist}, {"amp.net", kNetlist}},
                                "amp.ant",
                                Rules(),
                                "",
                                {{"amp.ant", kNetlist}, {"amp.net", kRewritten}}},
                    ProcessCase{"NumberedBackupIsNeverProcessed",
                                {{"amp.net.~1~", kNetlist}},
                                "amp.net.~1~",
                                Rules(),
                                "Error: \"{dir}/amp.net.~1~\" is a numbered backup, which Tarvex keeps as it is. To "
                                "process it, copy it to a new name. No file was changed.",
                                {{"amp.net.~1~", kNetlist}}},
                    ProcessCase{"UpperCaseBackupIsReadUnderItsOwnName",
                                {{"AMP.ANT", kNetlist}},
                                "AMP.ANT",
                                Rules(),
                                "",
                                {{"AMP.ANT", kNetlist}, {"AMP.net", kRewritten}}},
                    ProcessCase{"MixedCaseBackupIsNotRenamed",
                                {{"amp.aNt", kNetlist}},
                                "amp.aNt",
                                Rules(),
                                "",
                                {{"amp.aNt", kNetlist}, {"amp.net", kRewritten}}},
                    ProcessCase{"OtherExtensionIsMovedAside",
                                {{"amp.cir", kNetlist}},
                                "amp.cir",
                                Rules(),
                                "",
                                {{"amp.ant", kNetlist}, {"amp.net", kRewritten}}},
                    ProcessCase{"DottedFolderKeepsItsName",
                                {{"proj.a/amp.net", kNetlist}},
                                "proj.a/amp.net",
                                Rules(),
                                "",
                                {{"proj.a/amp.ant", kNetlist}, {"proj.a/amp.net", kRewritten}}},
                    ProcessCase{"EmptyNetlistGivesEmptyTarget",
                                {{"amp.net", ""}},
                                "amp.net",
                                Rules(),
                                "",
                                {{"amp.ant", ""}, {"amp.net", ""}}},
                    ProcessCase{"NoExtensionTouchesNothing",
                                {{"amp", kNetlist}, {"amp.ant", kOld}},
                                "amp",
                                Rules(),
                                kOutError,
                                {{"amp", kNetlist}, {"amp.ant", kOld}}},
                    ProcessCase{"NoExtensionInDottedFolderTouchesNothing",
                                {{"proj.a/amp", kNetlist}},
                                "proj.a/amp",
                                Rules(),
                                kOutError,
                                {{"proj.a/amp", kNetlist}}},
                    ProcessCase{"BadBoundsTouchNothing",
                                {{"amp.net", kNetlist}, {"amp.ant", kOld}},
                                "amp.net",
                                WithBadBounds(),
                                "Bad w value 0!\nMODxyN table, width bound 1.",
                                {{"amp.net", kNetlist}, {"amp.ant", kOld}}},
                    ProcessCase{"EmptyKeyNTouchesNothing",
                                {{"amp.net", kNetlist}, {"amp.ant", kOld}},
                                "amp.net",
                                WithKeys("", "MODxyP"),
                                "Error: Empty MODxyN key!",
                                {{"amp.net", kNetlist}, {"amp.ant", kOld}}},
                    ProcessCase{"EmptyKeyPTouchesNothing",
                                {{"amp.ant", kNetlist}, {"amp.net", kOldOutput}},
                                "amp.ant",
                                WithKeys("MODxyN", ""),
                                "Error: Empty MODxyP key!",
                                {{"amp.ant", kNetlist}, {"amp.net", kOldOutput}}},
                    ProcessCase{"BoundsAreCheckedBeforeKeys",
                                {{"amp.net", kNetlist}},
                                "amp.net",
                                [] {
                                    RewriteRules rules = WithBadBounds();
                                    rules.keyN.clear();
                                    return rules;
                                }(),
                                "Bad w value 0!\nMODxyN table, width bound 1.",
                                {{"amp.net", kNetlist}}},
                    ProcessCase{"OwnKeys",
                                {{"inv.net", "M1 o i 0 0 nch_ph L=1U W=2U\nM2 o i 1 1 pch_ph L=1U W=2U\n"}},
                                "inv.net",
                                WithKeys("nch_ph", "pch_ph"),
                                "",
                                {{"inv.ant", "M1 o i 0 0 nch_ph L=1U W=2U\nM2 o i 1 1 pch_ph L=1U W=2U\n"},
                                 {"inv.net", "M1 o i 0 0 NCH L=1U W=2U\nM2 o i 1 1 PCH_LONG L=1U W=2U\n"}}},
                    ProcessCase{
                        "MissingNetlistWithoutBackupTouchesNothing",
                        {{"other.net", kOld}},
                        "amp.net",
                        Rules(),
                        "Error: \"{dir}/amp.net\" does not exist. No file was changed.",
                        {{"other.net", kOld}}}),
    test::RowName());

// Processing the netlist twice would back up the first run's output over the placeholders: the
// second run is refused, and choosing the backup regenerates the netlist instead.
TEST(ProcessTest, SecondRunOfTheSameNetlistIsRefused) {
    const TempDir dir;
    const test::ProcessMemory memory;
    WriteFileBytes(dir / "amp.net", kNetlist);

    ASSERT_TRUE(ProcessNetlist(dir / "amp.net", Rules(), {}, memory.safety()).completed());
    const ProcessOutcome again = ProcessNetlist(dir / "amp.net", Rules(), {}, memory.safety());
    EXPECT_NE(again.error.value_or("").find("is Tarvex's output, binned from"), std::string::npos);
    ASSERT_TRUE(ProcessNetlist(dir / "amp.ant", Rules(), {}, memory.safety()).completed());

    EXPECT_EQ(FilesIn(dir.path()), (Files{{"amp.ant", kNetlist}, {"amp.net", kRewritten}}));
}

// The comparison with the backup reads both files in pieces: a binned line cut by them, and a line
// longer than a piece, are still told apart from an edit. Without a record of the first run, the
// binned netlist (which keeps one Key outside the table) is a doubt; going on keeps the backup.
TEST(ProcessTest, BinnedCopyIsFoundAcrossTheComparisonReads) {
    for (const std::size_t cut : {std::size_t{1} << 18, std::size_t{1} << 20}) {
        SCOPED_TRACE(cut);
        std::string netlist = "* filler\n";
        netlist += std::string(cut - 3 - netlist.size() - 4, 'x');
        netlist += "\nM1 ";
        netlist += "MODxyN L=1U W=2U\r\n";
        netlist += std::string(cut + 5, 'y') + " MODxyP L=1U W=2U\n";
        netlist += "M9 MODxyN L=9U W=2U\n";
        const TempDir dir;
        WriteFileBytes(dir / "amp.net", netlist);
        ASSERT_TRUE(ProcessNetlist(dir / "amp.net", Rules()).completed());
        const std::string binned = ReadFileBytes(dir / "amp.net");
        ASSERT_NE(binned.find("M1 NCH L=1U W=2U\r\n"), std::string::npos);
        ASSERT_NE(binned.find("y PCH_LONG L=1U"), std::string::npos);

        EXPECT_NE(ProcessNetlist(dir / "amp.net", Rules()).error.value_or("").find("has lines binned from"),
                  std::string::npos);
        // One byte edited outside the Keys of the long line: the other line is still binned.
        std::string edited = binned;
        edited[cut + 100] = 'z';
        WriteFileBytes(dir / "amp.net", edited);
        EXPECT_NE(ProcessNetlist(dir / "amp.net", Rules()).error.value_or("").find("has lines binned from"),
                  std::string::npos);
        EXPECT_TRUE(ProcessNetlist(dir / "amp.net", Rules(), {}, test::ProcessMemory().safety(true)).completed());
        EXPECT_EQ(ReadFileBytes(dir / "amp.ant"), edited);
        EXPECT_EQ(ReadFileBytes(dir / "amp.ant.~1~"), netlist);
    }
}

TEST(ProcessTest, RunGoesOnPastKeptDevicesAndReportsEachOne) {
    const TempDir dir;
    WriteFileBytes(dir / "amp.net", "* devices\n"
                                    "M1 MODxyN L=1U W=2U\n"
                                    "M2 MODxyN L=1U W=20U\n" // no width bin
                                    "M3 MODxyP L=3U W=2U\n"  // no length bin
                                    "M4 MODxyN L=1U W=7U\n"  // bin [1][0]: no part name
                                    "M5 MODxyP MODxyN L=1U W=2U\n");
    std::vector<std::pair<std::uint64_t, std::string>> devices;
    StreamOptions options;
    options.onDevice = [&](std::uint64_t line, const DeviceEvent& event) {
        devices.emplace_back(line, ProblemMessage(event).value_or(std::string(event.partName)));
    };

    const ProcessOutcome outcome = ProcessNetlist(dir / "amp.net", Rules(), options);

    ASSERT_TRUE(outcome.completed()) << outcome.error.value_or("cancelled");
    EXPECT_EQ(devices, (std::vector<std::pair<std::uint64_t, std::string>>{
                           {2, "NCH"},
                           {3, "Error: No MODxyN bin for L=1e-06 W=2e-05!"},
                           {4, "Error: No MODxyP bin for L=3e-06 W=2e-06!"},
                           {5, "Error: Missing MODxyN part name!"},
                           {6, "NCH"},
                           {6, "PCH_LONG"}}));
    EXPECT_EQ(outcome.report.lines, 6u);
    EXPECT_EQ(outcome.report.devicesReplaced, 3u);
    EXPECT_EQ(outcome.report.devicesNoBin, 2u);
    EXPECT_EQ(outcome.report.devicesMissingName, 1u);
    EXPECT_EQ(outcome.report.firstProblem, "Error: No MODxyN bin for L=1e-06 W=2e-05!");
    EXPECT_EQ(ReadFileBytes(dir / "amp.net"), "* devices\n"
                                              "M1 NCH L=1U W=2U\n"
                                              "M2 MODxyN L=1U W=20U\n"
                                              "M3 MODxyP L=3U W=2U\n"
                                              "M4 MODxyN L=1U W=7U\n"
                                              "M5 PCH_LONG NCH L=1U W=2U\n");
}

TEST(ProcessTest, CancelledRunKeepsTheOldNetlistAndTheBackup) {
    const TempDir dir;
    WriteFiles(dir.path(), {{"amp.ant", kNetlist}, {"amp.net", kOldOutput}});
    StreamOptions options;
    options.onProgress = [](std::uint64_t) { return false; };

    const ProcessOutcome outcome = ProcessNetlist(dir / "amp.ant", Rules(), options, test::ProcessMemory().safety(true));

    EXPECT_TRUE(outcome.cancelled);
    EXPECT_FALSE(outcome.error);
    EXPECT_EQ(FilesIn(dir.path()), (Files{{"amp.ant", kNetlist}, {"amp.net", kOldOutput}}));
}

// Cancel part-way through a run on several threads: the same files as a cancel on one thread.
TEST(ProcessTest, CancelledParallelRunKeepsTheOldNetlistAndTheBackup) {
    const TempDir dir;
    std::string netlist;
    while (netlist.size() < 300000) {
        netlist += kNetlist;
        netlist += "\n";
    }
    WriteFiles(dir.path(), {{"amp.net", netlist}, {"amp.ant", kOld}});
    StreamOptions options;
    options.threads = 3;
    options.tuning = {4096, 3};
    int calls = 0;
    options.onProgress = [&](std::uint64_t) { return ++calls < 10; };

    const ProcessOutcome outcome = ProcessNetlist(dir / "amp.net", Rules(), options);

    EXPECT_TRUE(outcome.cancelled);
    EXPECT_EQ(calls, 10);
    const Files left = FilesIn(dir.path());
    EXPECT_EQ(left.size(), 2u);
    EXPECT_TRUE(left.at("amp.ant") == netlist);
    EXPECT_EQ(left.at("amp.ant.~1~"), kOld);
}

// The netlist changes while it is read (a netlister still writing, an editor saving over it, a new
// export renamed onto its name): the run writes nothing and says so, whatever the change.
TEST(ProcessTest, NetlistThatChangesWhileItIsReadGivesNoOutput) {
    const std::string netlist = [] {
        std::string text;
        while (text.size() < 64 * 1024) {
            text += "M1 d g s b MODxyN L=1U W=2U\n";
        }
        return text;
    }();
    const std::vector<std::pair<std::string, std::function<void(const fs::path&)>>> changes{
        {"grows", [](const fs::path& ant) { fs::resize_file(ant, fs::file_size(ant) + 10); }},
        {"shrinks", [](const fs::path& ant) { fs::resize_file(ant, fs::file_size(ant) / 2); }},
        {"is written over at the same size",
         [&](const fs::path& ant) {
             std::string other = netlist;
             other[0] = '*';
             WriteFileBytes(ant, other);
             // Back to the time it had: the change of content and size alone must tell.
             fs::last_write_time(ant, fs::file_time_type{});
         }},
        {"is replaced under its name",
         [&](const fs::path& ant) {
             WriteFileBytes(ant.parent_path() / "new.tmp", netlist);
             // Windows refuses to rename over a file open for reading: nothing changes there, and
             // the run then rightly completes.
             std::error_code refused;
             fs::rename(ant.parent_path() / "new.tmp", ant, refused);
             if (refused) {
                 fs::remove(ant.parent_path() / "new.tmp");
                 WriteFileBytes(ant, netlist + "* grown instead\n");
             }
         }},
    };
    for (const auto& [what, change] : changes) {
        SCOPED_TRACE(what);
        const TempDir dir;
        WriteFileBytes(dir / "amp.ant", netlist);
        fs::last_write_time(dir / "amp.ant", fs::file_time_type{});
        StreamOptions options;
        options.threads = 1;
        options.tuning.chunkSize = 4096;
        bool changed = false;
        options.onProgress = [&](std::uint64_t) {
            if (!changed) {
                change(dir / "amp.ant");
                changed = true;
            }
            return true;
        };

        const ProcessOutcome outcome = ProcessNetlist(dir / "amp.ant", Rules(), options);

        EXPECT_EQ(outcome.error.value_or(""), "Error: \"" + (dir / "amp.ant").string() +
                                                  "\" changed while it was being read; nothing was written.");
        EXPECT_EQ(FilesIn(dir.path()).size(), 1u);
    }
}

// A netlist that is there but cannot be read keeps its name, and the older backup stays.
TEST(ProcessTest, DanglingLinkIsRefusedBeforeTheMoveAside) {
    const TempDir dir;
    WriteFileBytes(dir / "amp.ant", kOld);
    std::error_code linkError;
    fs::create_symlink("gone.net", dir / "amp.net", linkError);
    if (linkError) {
        GTEST_SKIP() << "cannot make a symbolic link here: " << linkError.message();
    }

    const ProcessOutcome outcome = ProcessNetlist(dir / "amp.net", Rules());

    EXPECT_EQ(
        outcome.error.value_or(""),
        InFolder("Error: Cannot read \"{dir}/amp.net\": No such file or directory. No file was changed.",
                 dir.path()));
    EXPECT_EQ(FilesIn(dir.path()), (Files{{"amp.ant", kOld}, {"amp.net", "-> gone.net"}}));
}

// Windows opens "amp.net." as "amp.net": the backup and the new netlist must be named from that
// name, not become "amp.net.ant" and "amp.net.net" beside it.
TEST(ProcessTest, TrailingDotsAndSpacesNameTheFileWindowsOpens) {
#ifndef _WIN32
    GTEST_SKIP() << "only Windows drops the trailing dots and spaces of a file name";
#endif
    for (const char* chosen : {"amp.net.", "amp.net. .", "amp.ant ."}) {
        SCOPED_TRACE(chosen);
        const TempDir dir;
        WriteFileBytes(dir / (std::string(chosen).starts_with("amp.ant") ? "amp.ant" : "amp.net"), kNetlist);

        const ProcessOutcome outcome = ProcessNetlist(dir / chosen, Rules());

        ASSERT_FALSE(outcome.error) << *outcome.error;
        EXPECT_EQ(FilesIn(dir.path()), (Files{{"amp.ant", kNetlist}, {"amp.net", kRewritten}}));
    }
}

// A netlist the user made read-only gives a read-only new netlist (the permission bits on POSIX,
// the read-only attribute on Windows).
TEST(ProcessTest, ReadOnlyNetlistGivesAReadOnlyNetlist) {
    const TempDir dir;
    WriteFileBytes(dir / "amp.net", kNetlist);
    fs::permissions(dir / "amp.net",
                    fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);

    const ProcessOutcome outcome = ProcessNetlist(dir / "amp.net", Rules());

    ASSERT_FALSE(outcome.error) << *outcome.error;
    EXPECT_EQ(fs::status(dir / "amp.net").permissions() & fs::perms::owner_write, fs::perms::none);
    EXPECT_EQ(ReadFileBytes(dir / "amp.net"), kRewritten);
    fs::permissions(dir / "amp.net", fs::perms::owner_write, fs::perm_options::add);
    fs::permissions(dir / "amp.ant", fs::perms::owner_write, fs::perm_options::add);
}

// A read error part-way (a source on a device that fails) stops the run with a message; the
// original stays as the backup and an older output is not replaced by a partial one. Reading
// /proc/self/mem at offset 0 fails with EIO for any user.
TEST(ProcessTest, ReadErrorStopsTheRunAndKeepsEveryFile) {
#ifdef _WIN32
    GTEST_SKIP() << "needs Linux's /proc/self/mem to make a read fail";
#endif
    if (!fs::exists("/proc/self/mem")) {
        GTEST_SKIP() << "needs /proc/self/mem to make a read fail";
    }
    for (const char* chosen : {"amp.ant", "amp.net"}) {
        SCOPED_TRACE(chosen);
        const TempDir dir;
        fs::create_symlink("/proc/self/mem", dir / chosen);
        const bool backupChosen = std::string(chosen) == "amp.ant";
        if (backupChosen) {
            WriteFileBytes(dir / "amp.net", kOld);
        }

        const ProcessOutcome outcome = ProcessNetlist(dir / chosen, Rules());

        // A chosen backup is read whole before anything is written, to compare it with the .net.
        EXPECT_EQ(outcome.error.value_or(""),
                  InFolder(backupChosen
                               ? "Error: Cannot read \"{dir}/amp.ant\": Input/output error. No file was "
                                 "changed."
                               : "Error: Cannot read \"{dir}/amp.ant\": Input/output error. The original "
                                 "netlist is kept as \"{dir}/amp.ant\".",
                           dir.path()));
        Files expected{{"amp.ant", "-> /proc/self/mem"}};
        if (std::string(chosen) == "amp.ant") {
            expected["amp.net"] = kOld;
        }
        EXPECT_EQ(FilesIn(dir.path()), expected);
    }
}

// Rules that would garble the netlist while the run reports success are refused up front.
TEST(CheckRulesTest, RefusesKeysAndPartNamesThatBreakLines) {
    const std::vector<std::pair<RewriteRules, std::string>> cases = {
        {WithKeys("  ", "MODxyP"), "Error: Blank MODxyN key!"},
        {WithKeys("MODxyN", "\t"), "Error: Blank MODxyP key!"},
        {WithKeys("M", "M"), "Error: MODxyN and MODxyP keys are the same!"},
        {WithKeys("MODxyPX", "MODxyP"), "Error: MODxyN key contains MODxyP key!"},
        {WithKeys("MOD", "MODxyP"), "Error: MODxyP key contains MODxyN key!"},
        {WithKeys(" MODxyN", "MODxyP"), ""},
    };
    for (const auto& [rules, message] : cases) {
        SCOPED_TRACE(message);
        EXPECT_EQ(test::FailureOf(CheckRules(rules)).value_or(""), message);
    }
    const std::vector<std::pair<std::string, std::string>> names = {
        {"N CH", "a space"},
        {"NCH\t", "a tab"},
        {"NCH\r", "a line end"},
        {"\nNCH", "a line end"},
        {"NCH\x1b", "a control character"},
        {"NCH\x7f", "a control character"},
    };
    for (const auto& [name, what] : names) {
        RewriteRules rules = Rules();
        SetPartName(rules.tableP, 3, 1, name);
        EXPECT_EQ(test::FailureOf(CheckRules(rules)).value_or(""),
                  "Error: MODxyP part name in column 4, row 2 holds " + what + "!");
    }
    RewriteRules rules = Rules();
    SetPartName(rules.tableN, 4, 4, "nch_\xc2\xb5m"); // bytes above 127 are ordinary name bytes
    EXPECT_TRUE(CheckRules(rules).ok());
}

struct PlanCase {
    std::string name;
    std::string chosen;
    std::string source;
    std::string target;
    bool moveAside;
};

void PrintTo(const PlanCase& c, std::ostream* os) {
    *os << c.name;
}

class PlanProcessTest : public testing::TestWithParam<PlanCase> {};

TEST_P(PlanProcessTest, NamesTheFilesReadAndWritten) {
    const PlanCase& c = GetParam();
    const Result<ProcessPlan> planned = PlanProcess(c.chosen);
    ASSERT_TRUE(planned.ok()) << planned.error();
    EXPECT_EQ(planned->source, fs::path(c.source));
    EXPECT_EQ(planned->target, fs::path(c.target));
    EXPECT_EQ(planned->moveAside, c.moveAside);
    EXPECT_EQ(planned->backup, ChangeExtension(c.chosen, ".ant"));
}

INSTANTIATE_TEST_SUITE_P(
    Names, PlanProcessTest,
    testing::Values(PlanCase{"Netlist", "/d/amp.net", "/d/amp.ant", "/d/amp.net", true},
                    PlanCase{"Backup", "/d/amp.ant", "/d/amp.ant", "/d/amp.net", false},
                    PlanCase{"UpperCaseBackup", "/d/AMP.ANT", "/d/AMP.ANT", "/d/AMP.net", false},
                    PlanCase{"UpperCaseNetlist", "/d/AMP.NET", "/d/AMP.ant", "/d/AMP.net", true},
                    PlanCase{"TwoDots", "/d/amp.v2.net", "/d/amp.v2.ant", "/d/amp.v2.net", true},
                    PlanCase{"HiddenFileName", "/d/.net", "/d/.ant", "/d/.net", true}),
    test::RowName());

TEST(PlanProcessTest, NameWithoutExtensionIsRefused) {
    for (const char* chosen : {"amp", "/d/proj.a/amp", ".net", "./amp"}) {
        SCOPED_TRACE(chosen);
        const Result<ProcessPlan> planned = PlanProcess(chosen);
        ASSERT_FALSE(planned.ok());
        EXPECT_EQ(planned.error(), kOutError);
    }
}

} // namespace
} // namespace tarvex
