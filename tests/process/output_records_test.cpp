// SPDX-License-Identifier: MIT
// The record of the files Tarvex wrote: found again by any spelling of the path, kept whole through
// damage and the limit on its size.
#include "process/output_records.h"

#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace tarvex {
namespace {

namespace fs = std::filesystem;
using test::TempDir;
using test::WriteFileBytes;

OutputRecord Record(std::uint64_t inode, std::vector<std::string> keys = {"MODxyN", "MODxyP"}) {
    OutputRecord record;
    record.written = {1, inode, 10, 100, 200};
    record.source = FileStamp{1, inode + 1, 9, -5, 7};
    record.keys = std::move(keys);
    return record;
}

TEST(OutputRecordsTest, RemembersByPlaceAndReplacesTheOlderRecord) {
    const TempDir state;
    const TempDir work;
    fs::create_directory(work / "sub");
    const OutputRecords records(state.path());

    ASSERT_FALSE(records.remember(work / "amp.net", Record(5, {"a b", "", "\n"})));
    EXPECT_EQ(records.find(work / "sub" / ".." / "amp.net"), Record(5, {"a b", "", "\n"}));
    EXPECT_FALSE(records.find(work / "other.net"));

    OutputRecord without = Record(6);
    without.source.reset();
    ASSERT_FALSE(records.remember(work / "amp.net", without));
    EXPECT_EQ(records.find(work / "amp.net"), without);
}

TEST(OutputRecordsTest, KeepsTheNewestAndSurvivesDamage) {
    const TempDir state;
    const OutputRecords records(state.path());
    for (std::uint64_t i = 0; i <= OutputRecords::kMaxRecords; ++i) {
        ASSERT_FALSE(records.remember(state / ("n" + std::to_string(i)), Record(i)));
    }
    EXPECT_FALSE(records.find(state / "n0"));
    EXPECT_EQ(records.find(state / "n1"), Record(1));
    EXPECT_EQ(records.find(state / ("n" + std::to_string(OutputRecords::kMaxRecords))),
              Record(OutputRecords::kMaxRecords));

    // A damaged file, or one of another version, holds no records; the next record starts it anew.
    for (const char* damaged : {"tarvex-outputs-1\nzz 1 2\n", "tarvex-outputs-9\n", ""}) {
        WriteFileBytes(state / "outputs", damaged);
        EXPECT_FALSE(records.find(state / "n1"));
        ASSERT_FALSE(records.remember(state / "n1", Record(1)));
        EXPECT_EQ(records.find(state / "n1"), Record(1));
    }
    EXPECT_FALSE(OutputRecords({}).find(state / "n1"));
}

} // namespace
} // namespace tarvex
