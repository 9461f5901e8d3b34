// SPDX-License-Identifier: MIT
// The one replacing write: the target is either as it was or wholly new, whatever step fails, and
// no temporary file is left behind.
#include "files/byte_stream.h"
#include "files/replacement_file.h"

#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
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

// Every entry of the folder with its bytes; a folder shows as "<folder>".
Files FilesIn(const fs::path& folder) {
    Files files;
    for (const auto& entry : fs::directory_iterator(folder)) {
        files[entry.path().filename().string()] =
            entry.is_directory() ? "<folder>" : ReadFileBytes(entry.path());
    }
    return files;
}

std::error_code WriteNew(std::FILE* file) {
    return FileWriter(file).write("new");
}

TEST(WriteFileReplacingTest, StopsAtTheFailingStepAndLeavesTheTargetAsItWas) {
    const struct {
        const char* name;
        const char* target; // within the folder
        std::function<std::error_code(std::FILE*)> write;
        ReplaceStep stopped;
    } rows[] = {
        {"folder missing", "no/amp.net", WriteNew, ReplaceStep::Create},
        {"write refused", "amp.net",
         [](std::FILE*) { return std::make_error_code(std::errc::no_space_on_device); }, ReplaceStep::Write},
        {"target is a folder", "folder", WriteNew, ReplaceStep::Place},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const TempDir dir;
        WriteFileBytes(dir / "amp.net", "old");
        fs::create_directory(dir / "folder");
        WriteFileBytes(dir / "folder" / "inside", "kept");
        const Files before = FilesIn(dir.path());

        const ReplaceOutcome outcome = WriteFileReplacing(dir / row.target, row.write);

        EXPECT_EQ(outcome.stopped, row.stopped);
        EXPECT_TRUE(outcome.error);
        EXPECT_EQ(FilesIn(dir.path()), before); // nothing replaced, no temporary file left
        EXPECT_EQ(ReadFileBytes(dir / "folder" / "inside"), "kept");
    }
}

TEST(WriteFileReplacingTest, WithoutACheckReplacesWhateverIsThere) {
    const TempDir dir;
    WriteFileBytes(dir / "map.svg", "an old map, longer than the new one");

    const ReplaceOutcome outcome = WriteFileReplacing(dir / "map.svg", "<svg/>");

    EXPECT_EQ(outcome.stopped, ReplaceStep::Done) << outcome.error.message();
    EXPECT_EQ(FilesIn(dir.path()), (Files{{"map.svg", "<svg/>"}}));
}

// With a check the new file goes in as ReplacementFile::commit puts it: over the version checked
// only (here one that another program writes while the new content is being written), the old
// one kept when asked.
TEST(WriteFileReplacingTest, WithACheckReplacesOnlyTheVersionChecked) {
    const struct {
        const char* name;
        bool keepOld;
        const char* changeTo; // written over the target while the new file is written; empty: none
        Files after;
        bool targetChanged;
    } rows[] = {
        {"as checked", false, "", {{"out.amd", "new"}}, false},
        {"as checked, kept", true, "", {{"out.amd", "new"}, {"out.amd.~1~", "old"}}, false},
        {"changed meanwhile",
         false,
         "another program's",
         {{"out.amd", "another program's"}, {"out.amd.~1~", "new"}},
         true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const TempDir dir;
        WriteFileBytes(dir / "out.amd", "old");
        ReplaceOptions options;
        options.check = ReplaceOptions::Check{StampOf(dir / "out.amd"), row.keepOld};
        const std::string changeTo = row.changeTo;
        const auto write = [&](std::FILE* file) {
            if (!changeTo.empty()) {
                WriteFileBytes(dir / "out.amd", changeTo);
            }
            return WriteNew(file);
        };

        const ReplaceOutcome outcome = WriteFileReplacing(dir / "out.amd", write, options);

        EXPECT_EQ(outcome.stopped, ReplaceStep::Done) << outcome.error.message();
        EXPECT_EQ(outcome.placement.targetChanged, row.targetChanged);
        EXPECT_EQ(FilesIn(dir.path()), row.after);
    }
}

} // namespace
} // namespace tarvex
