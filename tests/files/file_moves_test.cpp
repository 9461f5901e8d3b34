// SPDX-License-Identifier: MIT
// Moves that never lose a file: putting a finished file in place only over the version checked,
// numbered backups, and the run lock.
#include "files/file_moves.h"
#include "files/run_lock.h"

#include "support/param_name.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <optional>
#include <string>

namespace tarvex {
namespace {

namespace fs = std::filesystem;
using test::ReadFileBytes;
using test::TempDir;
using test::WriteFileBytes;
using Files = std::map<std::string, std::string>;

Files FilesIn(const fs::path& folder) {
    Files files;
    for (const auto& entry : fs::directory_iterator(folder)) {
        files[entry.path().filename().string()] = ReadFileBytes(entry.path());
    }
    return files;
}

struct PlaceCase {
    std::string name;
    Files before;                // besides "new", the finished file
    bool expectAsFound = false;  // the target's stamp is taken before the change below
    std::string changeTo;        // non-empty: the target is rewritten after its stamp was taken
    bool keepOld = false;
    Files after;
    bool targetChanged = false;
};

void PrintTo(const PlaceCase& c, std::ostream* os) {
    *os << c.name;
}

class PlaceFileTest : public testing::TestWithParam<PlaceCase> {};

TEST_P(PlaceFileTest, ReplacesOnlyTheVersionChecked) {
    const PlaceCase& c = GetParam();
    const TempDir dir;
    for (const auto& [name, content] : c.before) {
        WriteFileBytes(dir / name, content);
    }
    WriteFileBytes(dir / "new", "new");
    const std::optional<FileStamp> expected = c.expectAsFound ? StampOf(dir / "amp.net") : std::nullopt;
    if (!c.changeTo.empty()) {
        WriteFileBytes(dir / "amp.net", c.changeTo);
    }

    const Placement placed = PlaceFile(dir / "new", dir / "amp.net", expected, c.keepOld);

    EXPECT_FALSE(placed.error) << placed.error.message();
    EXPECT_EQ(placed.targetChanged, c.targetChanged);
    EXPECT_EQ(FilesIn(dir.path()), c.after);
    if (c.targetChanged) {
        EXPECT_EQ(placed.keptNew.filename(), "amp.net.~1~");
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PlaceFileTest,
    testing::Values(
        PlaceCase{"NewName", {}, false, "", false, {{"amp.net", "new"}}},
        PlaceCase{"AppearedMeanwhileIsKept",
                  {{"amp.net", "export"}},
                  false,
                  "",
                  false,
                  {{"amp.net", "export"}, {"amp.net.~1~", "new"}},
                  true},
        PlaceCase{"AsCheckedIsReplaced", {{"amp.net", "old"}}, true, "", false, {{"amp.net", "new"}}},
        PlaceCase{"AsCheckedKeptWhenAsked",
                  {{"amp.net", "old"}, {"amp.net.~1~", "older"}},
                  true,
                  "",
                  true,
                  {{"amp.net", "new"}, {"amp.net.~1~", "older"}, {"amp.net.~2~", "old"}}},
        PlaceCase{"SameBytesAreNotKept", {{"amp.net", "new"}}, true, "", true, {{"amp.net", "new"}}},
        PlaceCase{"ChangedSinceTheCheckIsKept",
                  {{"amp.net", "old"}},
                  true,
                  "an export of another size",
                  false,
                  {{"amp.net", "an export of another size"}, {"amp.net.~1~", "new"}},
                  true}),
    test::RowName());

TEST(PlaceFileTest, TargetGoneSinceTheCheckIsTakenWithoutReplacing) {
    const TempDir dir;
    WriteFileBytes(dir / "amp.net", "old");
    const std::optional<FileStamp> expected = StampOf(dir / "amp.net");
    fs::remove(dir / "amp.net");
    WriteFileBytes(dir / "new", "new");

    const Placement placed = PlaceFile(dir / "new", dir / "amp.net", expected, false);

    EXPECT_FALSE(placed.error);
    EXPECT_FALSE(placed.targetChanged);
    EXPECT_EQ(FilesIn(dir.path()), (Files{{"amp.net", "new"}}));
}

TEST(NumberedBackupTest, TakesTheNumberAfterTheHighestAndNeverReplaces) {
    const TempDir dir;
    for (const char* name : {"amp.net.~3~", "amp.net.~09~", "amp.net.~x~", "amp.ant.~7~", "xamp.net.~8~"}) {
        WriteFileBytes(dir / name, name);
    }
    EXPECT_EQ(NextNumberedBackup(dir / "amp.net").filename(), "amp.net.~4~");
    EXPECT_EQ(NextNumberedBackup(dir / "other.net").filename(), "other.net.~1~");

    WriteFileBytes(dir / "amp.net", "kept");
    std::error_code error;
    const auto kept = MoveToNumberedBackup(dir / "amp.net", dir / "amp.net", error);
    ASSERT_TRUE(kept) << error.message();
    EXPECT_EQ(kept->filename(), "amp.net.~4~");
    EXPECT_EQ(ReadFileBytes(*kept), "kept");
    EXPECT_EQ(ReadFileBytes(dir / "amp.net.~3~"), "amp.net.~3~");

    for (const auto& [name, numbered] : std::map<std::string, bool>{{"amp.net.~1~", true},
                                                                   {"amp.net.~12~", true},
                                                                   {"amp.net.~0~", false},
                                                                   {"amp.net.~01~", false},
                                                                   {"amp.net.~~", false},
                                                                   {"amp.net~1~", false},
                                                                   {".~1~", false},
                                                                   {"amp.net", false}}) {
        EXPECT_EQ(IsNumberedBackup(dir / name), numbered) << name;
    }
}

TEST(MoveNoReplaceTest, RefusesAnyEntryAtTheName) {
    const TempDir dir;
    WriteFileBytes(dir / "a", "a");
    WriteFileBytes(dir / "b", "b");
    // A dangling link is an entry too; Wine cannot make links, so there the
    // check covers regular files only.
    std::error_code linkError;
    fs::create_symlink("nowhere", dir / "link", linkError);
    EXPECT_EQ(MoveNoReplace(dir / "a", dir / "b"), std::errc::file_exists);
    if (!linkError) {
        EXPECT_EQ(MoveNoReplace(dir / "a", dir / "link"), std::errc::file_exists);
    }
    EXPECT_FALSE(MoveNoReplace(dir / "a", dir / "c"));
    EXPECT_FALSE(fs::exists(dir / "a"));
    EXPECT_EQ(ReadFileBytes(dir / "c"), "a");
    EXPECT_EQ(ReadFileBytes(dir / "b"), "b");
    if (!linkError) {
        EXPECT_EQ(fs::read_symlink(dir / "link"), "nowhere");
    }
}

TEST(RunLockTest, SecondHolderWaitsThenIsTurnedAway) {
    const TempDir dir;
    bool busy = false;
    std::error_code error;
    auto first = RunLock::Acquire(dir / "locks" / "amp.lock", std::chrono::milliseconds(0), busy, error);
    ASSERT_TRUE(first) << error.message();
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(RunLock::Acquire(dir / "locks" / "amp.lock", std::chrono::milliseconds(100), busy, error));
    EXPECT_TRUE(busy);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(100));
    first.reset();
    EXPECT_TRUE(RunLock::Acquire(dir / "locks" / "amp.lock", std::chrono::milliseconds(0), busy, error));
    EXPECT_FALSE(busy);
}

} // namespace
} // namespace tarvex
