// SPDX-License-Identifier: MIT
#include "simlink/simulator_probe.h"

#include "probe_checks.h"
#include "support/param_name.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace tarvex {
namespace {

using namespace std::string_literals;

struct TitleRow {
    std::string name;
    std::string title;
    std::string netlistName;
    std::optional<std::string> folder;
};

class TitleRule : public testing::TestWithParam<TitleRow> {};

TEST_P(TitleRule, GivesNameAndFolder) {
    const TitleRow& row = GetParam();
    const TitleHint hint = HintFromTitle(row.title);
    EXPECT_EQ(hint.netlistName, row.netlistName);
    EXPECT_EQ(hint.folder, row.folder);
}

const std::optional<std::string> kStay;

INSTANTIATE_TEST_SUITE_P(
    Titles, TitleRule,
    testing::Values(TitleRow{"Viewer", "PSpice Message Viewer - [C:\\designs\\amp]", "C:\\designs\\amp.net",
                             "C:\\designs"},
                    TitleRow{"TextAfterLastBracket", "PSpice Message Viewer - [C:\\a\\b] x", " x.net", kStay},
                    TitleRow{"PieceWithoutSeparator", "[amp]", "amp.net", kStay},
                    TitleRow{"NoBrackets", "PSpice Message Viewer", "PSpice Message Viewer.net", kStay},
                    TitleRow{"NoBracketsWithPath", "Viewer /srv/amp", "Viewer /srv/amp.net", "Viewer /srv"},
                    TitleRow{"SlashPath", "PSpice Message Viewer - [/home/ann/amp]", "/home/ann/amp.net",
                             "/home/ann"},
                    TitleRow{"SlashLast", "[C:\\designs/amp]", "C:\\designs/amp.net", "C:\\designs"},
                    TitleRow{"BackslashLast", "[/srv/a\\b]", "/srv/a\\b.net", "/srv/a"},
                    TitleRow{"TrailingSeparator", "[C:\\designs\\]", "C:\\designs\\.net", "C:\\designs"},
                    TitleRow{"SeparatorAtIndexOne", "[//x]", "//x.net", "/"},
                    TitleRow{"OnlySeparatorAtIndexZero", "[\\amp]", "\\amp.net", kStay},
                    TitleRow{"OnlySlashAtIndexZero", "[/amp]", "/amp.net", kStay},
                    TitleRow{"ExtensionKept", "[C:\\d\\amp.cir]", "C:\\d\\amp.cir.net", "C:\\d"},
                    TitleRow{"EmptyPiecesSkipped", "Viewer - [C:\\a\\amp][][]", "C:\\a\\amp.net", "C:\\a"},
                    TitleRow{"UnmatchedBrackets", "x ]] [C:\\a\\b", "C:\\a\\b.net", "C:\\a"},
                    TitleRow{"BracketsOnly", "[]][", ".net", kStay}, TitleRow{"Empty", "", ".net", kStay},
                    TitleRow{"BytesKept", "[/home/j\xC3\xB6rg\xFF/a\0b]"s, "/home/j\xC3\xB6rg\xFF/a\0b.net"s,
                             "/home/j\xC3\xB6rg\xFF"}),
    test::RowName());

TEST(TitleRule, KeepsLongTitlesWhole) {
    const std::string folder = "/" + std::string(3000, 'd');
    const TitleHint hint = HintFromTitle("PSpice Message Viewer - [" + folder + "/amp]");
    EXPECT_EQ(hint.netlistName, folder + "/amp.net");
    EXPECT_EQ(hint.folder, folder);
}

struct FindRow {
    std::string name;
    std::vector<std::string> titles;
    std::optional<std::size_t> simulator; // index into titles
};

class FindSimulator : public testing::TestWithParam<FindRow> {};

TEST_P(FindSimulator, TakesFirstTitleWithTheMark) {
    const FindRow& row = GetParam();
    const Result<std::string> found = FindSimulatorTitle(row.titles);
    if (row.simulator) {
        ASSERT_TRUE(found.ok()) << found.error();
        EXPECT_EQ(*found, row.titles[*row.simulator]);
    } else {
        ASSERT_FALSE(found.ok());
        EXPECT_EQ(found.error(), "No \"PSpice Message Viewer\" window found.");
    }
}

INSTANTIATE_TEST_SUITE_P(
    Windows, FindSimulator,
    testing::Values(
        FindRow{"NoWindows", {}, std::nullopt}, FindRow{"OtherWindows", {"Editor", "Terminal"}, std::nullopt},
        FindRow{"CaseSensitive", {"pspice message viewer - [/a/b]", "PSPICE MESSAGE VIEWER"}, std::nullopt},
        FindRow{"PartOfTheMark", {"PSpice Message View - [/a/b]", "Message Viewer"}, std::nullopt},
        FindRow{"FirstOfTwo",
                {"Editor", "PSpice Message Viewer - [/a/amp]", "PSpice Message Viewer - [/b/c]"},
                1},
        FindRow{"MarkAnywhere", {"Editor", "[/a/amp] xPSpice Message Viewer!"}, 1}),
    test::RowName());

class ProbeTitles : public testing::Test {
protected:
    test::TempDir m_dir;
};

TEST_F(ProbeTitles, TakesTheFirstSimulatorsDesign) {
    std::filesystem::create_directory(m_dir / "other");
    const auto design = m_dir / "amp";
    const ProbeResult result = ProbeSimulatorWindow(
        {"Editor", test::ViewerTitle(design), test::ViewerTitle(m_dir / "other" / "amp2")});
    test::ExpectProbeTook(result, design);
}

// The folder is named whether or not it exists; the caller decides where to work.
TEST_F(ProbeTitles, NamesAFolderThatDoesNotExist) {
    const auto design = m_dir / "missing" / "amp";
    test::ExpectProbeTook(ProbeSimulatorWindow({test::ViewerTitle(design)}), design);
}

TEST_F(ProbeTitles, FindsNoFolderWithoutSimulatorOrSeparator) {
    for (const std::vector<std::string>& titles :
         {std::vector<std::string>{}, {"Editor - [/tmp/amp]"}, {"PSpice Message Viewer - [amp]"}}) {
        const ProbeResult result = ProbeSimulatorWindow(titles);
        EXPECT_EQ(result.hint.folder, std::nullopt);
        EXPECT_EQ(result.hint.netlistName, result.found() ? "amp.net" : "");
    }
}

} // namespace
} // namespace tarvex
