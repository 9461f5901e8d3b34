// SPDX-License-Identifier: MIT
// Private files (the window's bin map): new, never written through a name that exists, readable by
// their owner alone whatever the umask.
#include "form/private_file.h"

#include "support/temp_dir.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <filesystem>
#include <set>
#include <string>
#include <system_error>
#include <vector>

namespace tarvex {
namespace {

namespace fs = std::filesystem;
using test::ReadFileBytes;
using test::WriteFileBytes;

#ifndef _WIN32
// Lets every new file be read by all for as long as it lives.
struct OpenUmask {
    OpenUmask() : saved(::umask(0)) {}
    ~OpenUmask() { ::umask(saved); }
    mode_t saved;
};
#else
struct OpenUmask {};
#endif

// A file, a link to a file and a link to nowhere at the name: none is written through or replaced.
TEST(PrivateFileTest, NeverWritesThroughANameThatExists) {
    const test::TempDir dir;
    WriteFileBytes(dir / "target", "theirs");
    WriteFileBytes(dir / "taken", "theirs");
    struct Row {
        const char* name;
        fs::path path;
    };
    std::vector<Row> rows{{"a file", dir / "taken"}};
#ifndef _WIN32
    fs::create_symlink(dir / "target", dir / "link");
    fs::create_symlink(dir / "nowhere", dir / "dangling");
    rows.push_back({"a link to a file", dir / "link"});
    rows.push_back({"a link to nowhere", dir / "dangling"});
#endif
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::error_code error;
        const FilePtr file = form::CreatePrivateFile(row.path, error);
        EXPECT_EQ(file, nullptr);
        EXPECT_EQ(error, std::errc::file_exists) << error.message();
    }
    EXPECT_EQ(ReadFileBytes(dir / "target"), "theirs");
    EXPECT_EQ(ReadFileBytes(dir / "taken"), "theirs");
    EXPECT_FALSE(fs::exists(dir / "nowhere"));
}

// Every file gets a name of its own; on POSIX its mode is 0600 even where the umask would let
// others read a new file.
TEST(PrivateFileTest, WritesANewFileOnlyItsOwnerReads) {
    const test::TempDir dir;
    [[maybe_unused]] const OpenUmask open;
    std::set<fs::path> names;
    for (int i = 0; i < 3; ++i) {
        const form::PrivateFile written = form::WritePrivateFile(dir.path(), "map-", ".svg", "<svg/>");
        ASSERT_FALSE(written.error) << written.error.message();
        EXPECT_EQ(written.path.parent_path(), dir.path());
        EXPECT_EQ(written.path.filename().string().size(), std::string("map-0123456789abcdef.svg").size());
        EXPECT_EQ(ReadFileBytes(written.path), "<svg/>");
#ifndef _WIN32
        EXPECT_EQ(fs::status(written.path).permissions() & fs::perms::all,
                  fs::perms::owner_read | fs::perms::owner_write);
#endif
        names.insert(written.path);
    }
    EXPECT_EQ(names.size(), 3u);

    const form::PrivateFile nowhere = form::WritePrivateFile(dir / "gone", "map-", ".svg", "<svg/>");
    EXPECT_TRUE(nowhere.error);
    EXPECT_EQ(nowhere.path.parent_path(), dir / "gone");
}

} // namespace
} // namespace tarvex
