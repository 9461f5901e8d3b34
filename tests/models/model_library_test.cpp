// SPDX-License-Identifier: MIT
#include "models/model_library.h"

#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <string>
#include <vector>

namespace tarvex {
namespace {

using test::TempDir;
using test::WriteFileBytes;

TEST(SpiceNumberTest, ReadsAsTheLibraryWritesThem) {
    const struct {
        const char* text;
        std::optional<double> expected;
    } rows[] = {
        {"2.8e-007", 2.8e-7},
        {"5.0001e-005", 5.0001e-5},
        {"1um", 1e-6},
        {"1U", 1e-6},
        {"0.5u", 0.5e-6},
        {"2MEG", 2e6},
        {"2meg", 2e6},
        {"3m", 3e-3},
        {"1mil", 25.4e-6},
        {"1k", 1e3},
        {"1g", 1e9},
        {"1t", 1e12},
        {"4n", 4e-9},
        {"4p", 4e-12},
        {"4f", 4e-15},
        {"-1.5", -1.5},
        {"+2", 2.0},
        {".5", 0.5},
        {"5.", 5.0},
        {"1e3u", 1e-3},
        {"1volt", 1.0},
        {"1.2*x", std::nullopt},
        {"{w}", std::nullopt},
        {"", std::nullopt},
        {"u", std::nullopt},
        {"1e", 1.0},
        {"2u+1", std::nullopt},
        // The decimal starts with a digit, or a '.' and a digit, after at most one sign: never "inf"
        // or "nan", and never a second sign.
        {"inf", std::nullopt},
        {"-inf", std::nullopt},
        {"nan", std::nullopt},
        {"+-1", std::nullopt},
        {"-+1", std::nullopt},
        {"-", std::nullopt},
        {".", std::nullopt},
        {"-.5", -0.5},
        {"+.5u", 0.5e-6},
        {".e5", std::nullopt},
        {"1.e5", 1e5},
        {"1e+", std::nullopt}, // "e+" is no suffix
        {"1E-3U", 1e-9},
        {"0x10", std::nullopt},
        {"1.2.3", std::nullopt},
        {"1e999", std::nullopt}, // out of range
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.text);
        const std::optional<double> value = ParseSpiceNumber(row.text);
        ASSERT_EQ(value.has_value(), row.expected.has_value());
        if (value) {
            EXPECT_NEAR(*value, *row.expected, std::fabs(*row.expected) * 1e-12);
        }
    }
}

// One card written in each way a library may write it: the bounds must come out the same.
TEST(ModelLibraryTest, ReadsEverySyntaxOfACard) {
    const struct {
        const char* name;
        const char* text;
    } rows[] = {
        {"one line with parentheses", ".model n.0 nmos (lmin=1u lmax=2u wmin=3u wmax=4u)\n"},
        {"upper case, spaces around =", ".MODEL n.0 NMOS ( LMIN = 1u LMAX = 2u WMIN = 3u WMAX = 4u )\n"},
        {"glued parenthesis", ".model n.0 nmos(level=54 lmin=1e-6,lmax=2e-6 wmin=3e-6 wmax=4e-6)\n"},
        {"continuation lines",
         ".model n.0 nmos\n+lmin    = 1e-006\n+lmax = 2e-006\n+ wmin=3e-6\n+wmax=4e-6\n"},
        {"comments between and after", ".model n.0 nmos\n* a comment\n+ lmin=1u ; inline\n\n+ lmax=2u $ too\n"
                                       "+ wmin=3u wmax=4u\n"},
        {"CRLF and lone CR", ".model n.0 nmos\r\n+ lmin=1u lmax=2u\r+ wmin=3u wmax=4u\r\n"},
        {"parameters", ".param lo=1u hi = 2u\n.model n.0 nmos lmin=lo lmax={hi} wmin='3u' wmax=4u\n"},
        {"indented", "  .model n.0 nmos\n  + lmin=1u lmax=2u wmin=3u wmax=4u\n"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const ModelLibrary library = ReadModelLibraryText(row.text, "lib.spice");
        ASSERT_EQ(library.cards.size(), 1u);
        const ModelCard& card = library.cards[0];
        EXPECT_EQ(card.name, "n.0");
        EXPECT_EQ(card.type, ModelType::Nmos);
        ASSERT_TRUE(card.binned());
        EXPECT_NEAR(*card.lmin->value, 1e-6, 1e-18);
        EXPECT_NEAR(*card.lmax->value, 2e-6, 1e-18);
        EXPECT_NEAR(*card.wmin->value, 3e-6, 1e-18);
        EXPECT_NEAR(*card.wmax->value, 4e-6, 1e-18);
    }
}

TEST(ModelLibraryTest, TellsWhereEachCardStandsAndWhatIsNotBinned) {
    const ModelLibrary library =
        ReadModelLibraryText(".model r1 r (r=1)\n"
                             ".lib tt\n"
                             ".model p.0 PMOS lmin=1u lmax=2u wmin=1u wmax=2u\n"
                             ".endl\n"
                             ".subckt cell d g s b\n"
                             ".model in.0 nmos lmin=1u lmax=2u wmin=1u wmax=2u\n"
                             ".ends cell\n"
                             ".model expr.0 nmos lmin={lo*2} lmax=2u wmin=1u wmax=2u\n"
                             ".model plain nmos level=54\n"
                             ".option scale=1.0u\n",
                             "lib.spice");
    ASSERT_EQ(library.cards.size(), 4u); // the resistor model is not a MOSFET
    EXPECT_EQ(library.cards[0].section, "tt");
    EXPECT_EQ(library.cards[0].type, ModelType::Pmos);
    EXPECT_EQ(library.cards[0].line, 3);
    EXPECT_EQ(library.cards[1].subcircuit, "cell");
    EXPECT_EQ(library.cards[1].section, "");
    EXPECT_FALSE(library.cards[2].binned());
    EXPECT_EQ(library.cards[2].lmin->text, "{lo*2}");
    EXPECT_FALSE(library.cards[3].binned());
    ASSERT_EQ(library.scaleOptions.size(), 1u);
    EXPECT_EQ(library.scaleOptions[0].line, 10);
}

class LibraryFilesTest : public testing::Test {
protected:
    TempDir m_dir;
};

TEST_F(LibraryFilesTest, FollowsIncludesAndSectionsRelativeToTheIncludingFile) {
    std::filesystem::create_directories(m_dir / "pdk" / "cells");
    WriteFileBytes(m_dir / "pdk" / "top.lib", "* corners\n"
                                              ".lib tt\n"
                                              ".include \"cells/n.spice\"\n"
                                              ".lib 'top.lib' common\n"
                                              ".endl\n"
                                              ".lib ff\n"
                                              ".inc cells/n_ff.spice\n"
                                              ".lib 'top.lib' common\n"
                                              ".endl\n"
                                              ".lib common\n"
                                              ".lib 'top.lib' common\n" // includes itself: must not loop
                                              ".model p.0 pmos lmin=1u lmax=2u wmin=1u wmax=2u\n"
                                              ".endl\n");
    WriteFileBytes(m_dir / "pdk" / "cells" / "n.spice", ".model n.0 nmos lmin=1u lmax=2u wmin=1u wmax=2u\n");
    WriteFileBytes(m_dir / "pdk" / "cells" / "n_ff.spice",
                   ".model n.0 nmos lmin=1u lmax=3u wmin=1u wmax=2u\n");

    const ModelLibrary all = ReadModelLibrary({m_dir / "pdk" / "top.lib"});
    EXPECT_TRUE(all.errors.empty());
    std::string seen;
    for (const ModelCard& card : all.cards) {
        seen += card.name + "@" + card.section + " ";
    }
    // "common" is read through tt once, then again as a section of the file itself.
    EXPECT_EQ(seen, "n.0@tt p.0@common n.0@ff p.0@common ");

    const ModelLibrary ff = ReadModelLibrary({m_dir / "pdk" / "top.lib"}, {"FF"});
    ASSERT_EQ(ff.cards.size(), 2u);
    EXPECT_EQ(ff.cards[0].section, "ff");
    EXPECT_NEAR(*ff.cards[0].lmax->value, 3e-6, 1e-18);
}

// filesRead names every file whose text was read, each once by whatever name first reached it, and
// no file that was not read: a section not asked for, a missing include.
TEST_F(LibraryFilesTest, ListsEveryFileReadOnce) {
    std::filesystem::create_directories(m_dir / "pdk" / "corners");
    WriteFileBytes(m_dir / "pdk" / "top.lib", ".lib 'corners/tt.lib' tt\n"
                                              ".include n.spice\n"
                                              ".include ./n.spice\n"
                                              ".lib 'top.lib' own\n"
                                              ".lib own\n"
                                              ".endl\n");
    WriteFileBytes(m_dir / "pdk" / "corners" / "tt.lib", ".lib tt\n"
                                                         ".inc ../p.spice\n"
                                                         ".endl\n"
                                                         ".lib ff\n"
                                                         ".inc ../ff.spice\n"
                                                         ".endl\n");
    WriteFileBytes(m_dir / "pdk" / "n.spice", ".model n.0 nmos lmin=1u lmax=2u wmin=1u wmax=2u\n");
    WriteFileBytes(m_dir / "pdk" / "p.spice", ".model p.0 pmos lmin=1u lmax=2u wmin=1u wmax=2u\n");
    WriteFileBytes(m_dir / "pdk" / "ff.spice", ".model p.0 pmos lmin=1u lmax=3u wmin=1u wmax=2u\n");
    WriteFileBytes(m_dir / "other.lib", ".include absent.spice\n.lib sec\n.include pdk/n.spice\n.endl\n");
    const std::filesystem::path pdk = m_dir / "pdk";
    const struct {
        const char* name;
        std::vector<std::filesystem::path> given;
        std::vector<std::string> sections;
        std::vector<std::filesystem::path> expected;
    } rows[] = {
        {"includes and a section file",
         {pdk / "top.lib"},
         {},
         {pdk / "top.lib", pdk / "corners/tt.lib", pdk / "corners/../p.spice", pdk / "n.spice"}},
        {"a file given twice", {pdk / "n.spice", m_dir / "pdk/./n.spice"}, {}, {pdk / "n.spice"}},
        {"a section not asked for", {m_dir / "other.lib"}, {"none"}, {m_dir / "other.lib"}},
        {"a section asked for", {m_dir / "other.lib"}, {"SEC"}, {m_dir / "other.lib", m_dir / "pdk/n.spice"}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const ModelLibrary library = ReadModelLibrary(row.given, row.sections);
        EXPECT_EQ(library.filesRead, row.expected);
    }
}

TEST_F(LibraryFilesTest, CardsIncludedInsideASubcircuitAreLocalToIt) {
    WriteFileBytes(m_dir / "cell.spice", ".subckt cell d g s b\n.include body.spice\n.ends\n"
                                         ".model after.0 nmos lmin=1u lmax=2u wmin=1u wmax=2u\n");
    WriteFileBytes(m_dir / "body.spice", ".model in.0 nmos lmin=1u lmax=2u wmin=1u wmax=2u\n.subckt open\n");
    const ModelLibrary library = ReadModelLibrary({m_dir / "cell.spice"});
    ASSERT_EQ(library.cards.size(), 2u);
    EXPECT_EQ(library.cards[0].subcircuit, "cell");
    EXPECT_EQ(library.cards[1].subcircuit, "");
}

TEST_F(LibraryFilesTest, ReportsAnIncludeThatCannotBeRead) {
    WriteFileBytes(m_dir / "a.spice",
                   ".include missing.spice\n.model n.0 nmos lmin=1u lmax=2u wmin=1u wmax=2u\n");
    const ModelLibrary library = ReadModelLibrary({m_dir / "a.spice", m_dir / "absent.lib"});
    ASSERT_EQ(library.errors.size(), 2u);
    EXPECT_EQ(library.errors[0].line, 1);
    EXPECT_NE(library.errors[0].text.find("missing.spice"), std::string::npos);
    EXPECT_NE(library.errors[1].text.find("absent.lib"), std::string::npos);
    EXPECT_EQ(library.cards.size(), 1u);
}

// An include of a device or a pipe would read forever ("/dev/zero") or wait forever: refused.
TEST_F(LibraryFilesTest, RefusesAnIncludeThatIsNoRegularFile) {
#ifdef _WIN32
    GTEST_SKIP() << "needs /dev/zero";
#endif
    WriteFileBytes(m_dir / "a.spice",
                   ".include /dev/zero\n.model n.0 nmos lmin=1u lmax=2u wmin=1u wmax=2u\n");
    const ModelLibrary library = ReadModelLibrary({m_dir / "a.spice"});
    ASSERT_EQ(library.errors.size(), 1u);
    EXPECT_EQ(library.errors[0].text, "Cannot read \"/dev/zero\": it is not a regular file");
    EXPECT_EQ(library.cards.size(), 1u);
}

TEST(ModelLibraryExcerptTest, ReadsBothExcerpts) {
    const std::filesystem::path data = TARVEX_TEST_DATA_DIR;
    const ModelLibrary gf = ReadModelLibrary({data / "models" / "gf180mcu-fet_03v3.spice"});
    ASSERT_EQ(gf.cards.size(), 32u);
    EXPECT_EQ(gf.cards[1].name, "nfet_03v3.1");
    EXPECT_EQ(gf.cards[1].section, "nfet_03v3_t");
    EXPECT_NEAR(*gf.cards[3].lmax->value, 5.0001e-5, 1e-18);
    EXPECT_EQ(gf.cards[16].type, ModelType::Pmos);

    const ModelLibrary sky = ReadModelLibrary({data / "models" / "sky130-nfet_01v8-discrete.spice"});
    ASSERT_EQ(sky.cards.size(), 63u);
    for (const ModelCard& card : sky.cards) {
        EXPECT_TRUE(card.binned()) << card.name;
        EXPECT_EQ(card.subcircuit, "sky130_fd_pr__nfet_01v8") << card.name;
    }
}

} // namespace
} // namespace tarvex
