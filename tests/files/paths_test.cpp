// SPDX-License-Identifier: MIT
#include "files/paths.h"

#include "support/param_name.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>

namespace tarvex {
namespace {

namespace fs = std::filesystem;

struct ExtensionCase {
    std::string name;
    std::string path;
    std::string expected;
};

void PrintTo(const ExtensionCase& c, std::ostream* os) {
    *os << c.name;
}

class ChangeExtensionTest : public testing::TestWithParam<ExtensionCase> {};

TEST_P(ChangeExtensionTest, ReplacesOnlyTheFileNamesLastExtension) {
    const ExtensionCase& c = GetParam();
    EXPECT_EQ(ChangeExtension(fs::path(c.path), ".ant"), fs::path(c.expected));
}

const ExtensionCase kExtensionCases[] = {
    {"Plain", "amp.net", "amp.ant"},
    {"OnlyTheLastDot", "amp.v2.net", "amp.v2.ant"},
    {"DottedFolderKeepsItsDot", "/proj.a/amp.net", "/proj.a/amp.ant"},
    {"NoDotInDottedFolder", "/proj.a/amp", "/proj.a/amp"},
    {"NoDotAtAll", "amp", "amp"},
    {"TrailingDot", "amp.", "amp.ant"},
    {"DotAtIndexZeroIsNeverTaken", ".net", ".net"},
    {"DotAtIndexOneIsTaken", "/.net", "/.ant"},
    {"DotAfterSeparatorStartsAnExtension", "dir/.net", "dir/.ant"},
    {"RelativeFolderWithoutDot", "./amp", "./amp"},
    {"UpperCaseIsReplacedWhole", "AMP.ANT", "AMP.ant"},
#ifdef _WIN32
    {"BackslashSeparatesFolders", "C:\\proj.a\\amp", "C:\\proj.a\\amp"},
    {"BackslashDottedFolder", "C:\\proj.a\\amp.net", "C:\\proj.a\\amp.ant"},
#else
    // A backslash is an ordinary file-name byte here, so the folder-looking dot is the name's last one.
    {"BackslashIsPartOfTheName", "proj.a\\amp", "proj.ant"},
#endif
};

INSTANTIATE_TEST_SUITE_P(Paths, ChangeExtensionTest, testing::ValuesIn(kExtensionCases), test::RowName());

struct FolderCase {
    std::string name;
    std::string path;
    std::optional<std::string> folder;
};

void PrintTo(const FolderCase& c, std::ostream* os) {
    *os << c.name;
}

class FolderOfTest : public testing::TestWithParam<FolderCase> {};

TEST_P(FolderOfTest, CutsAtTheLastSeparatorAfterIndexZero) {
    const FolderCase& c = GetParam();
    const std::optional<fs::path> folder = FolderOf(fs::path(c.path));
    ASSERT_EQ(folder.has_value(), c.folder.has_value());
    if (folder) {
        EXPECT_EQ(*folder, fs::path(*c.folder));
    }
}

INSTANTIATE_TEST_SUITE_P(Paths, FolderOfTest,
                         testing::Values(FolderCase{"Absolute", "/tech/c35.amd", "/tech"},
                                         FolderCase{"Nested", "/a/b.c/d.amd", "/a/b.c"},
                                         FolderCase{"Relative", "tech/c35.amd", "tech"},
                                         FolderCase{"BareName", "c35.amd", std::nullopt},
                                         FolderCase{"RootSeparatorIsNotExamined", "/c35.amd", std::nullopt},
                                         FolderCase{"DoubleSlashAtRoot", "//c35.amd", "/"},
                                         FolderCase{"TrailingSeparator", "tech/", "tech"},
                                         FolderCase{"Empty", "", std::nullopt}),
                         test::RowName());

TEST(SamePathIgnoringCaseTest, ComparesAsciiLettersWithoutCaseAndNothingElse) {
    EXPECT_TRUE(SamePathIgnoringCase("/d/AMP.ANT", "/d/amp.ant"));
    EXPECT_TRUE(SamePathIgnoringCase("amp.Ant", "AMP.aNT"));
    EXPECT_FALSE(SamePathIgnoringCase("amp.ant", "amp.ant "));
    EXPECT_FALSE(SamePathIgnoringCase("amp.ant", "amp.net"));
    // Only ASCII letters fold: '@' and '`' sit next to 'A' and 'a' but are not letters.
    EXPECT_FALSE(SamePathIgnoringCase("a@", "a`"));
    EXPECT_FALSE(SamePathIgnoringCase("\xc3\x84.ant", "\xc3\xa4.ant"));
}

TEST(MoveReplacingTest, ReplacesAnExistingFileInOneStep) {
    const test::TempDir dir;
    test::WriteFileBytes(dir / "amp.net", "new");
    test::WriteFileBytes(dir / "amp.ant", "old");

    EXPECT_FALSE(MoveReplacing(dir / "amp.net", dir / "amp.ant"));

    EXPECT_FALSE(fs::exists(dir / "amp.net"));
    EXPECT_EQ(test::ReadFileBytes(dir / "amp.ant"), "new");
}

TEST(MoveReplacingTest, ReportsWhyAMoveFailsAndLeavesBothAlone) {
    const test::TempDir dir;
    EXPECT_EQ(MoveReplacing(dir / "missing.net", dir / "amp.ant"), std::errc::no_such_file_or_directory);
    EXPECT_FALSE(fs::exists(dir / "amp.ant"));

    test::WriteFileBytes(dir / "amp.net", "netlist");
    fs::create_directory(dir / "amp.ant");
    test::WriteFileBytes(dir / "amp.ant" / "inside", "kept");
    EXPECT_TRUE(MoveReplacing(dir / "amp.net", dir / "amp.ant"));
    EXPECT_EQ(test::ReadFileBytes(dir / "amp.net"), "netlist");
    EXPECT_EQ(test::ReadFileBytes(dir / "amp.ant" / "inside"), "kept");
}

} // namespace
} // namespace tarvex
