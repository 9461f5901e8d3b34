// SPDX-License-Identifier: MIT
#include "models/bin_grid.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace tarvex {
namespace {

const std::filesystem::path kData = std::filesystem::path(TARVEX_TEST_DATA_DIR) / "models";

// A card line in microns: ".model NAME nmos lmin=… lmax=… wmin=… wmax=…".
std::string Card(const std::string& name, double l0, double l1, double w0, double w1,
                 const char* type = "nmos") {
    return ".model " + name + " " + type + " lmin=" + std::to_string(l0) + "u lmax=" + std::to_string(l1) +
           "u wmin=" + std::to_string(w0) + "u wmax=" + std::to_string(w1) + "u\n";
}

// A full grid with cards named base.0, base.1, … running L fastest.
std::string Grid(const std::string& base, int lBins, int wBins) {
    std::string text;
    for (int w = 0; w < wBins; ++w) {
        for (int l = 0; l < lBins; ++l) {
            text += Card(base + "." + std::to_string(w * lBins + l), l + 1, l + 2, w + 1, w + 2);
        }
    }
    return text;
}

std::string Joined(const std::vector<std::string>& reasons) {
    std::string text;
    for (const std::string& reason : reasons) {
        text += reason + "\n";
    }
    return text;
}

TEST(BinGridTest, ImportsTheGf180GridOfBothPolarities) {
    const ModelLibrary library = ReadModelLibrary({kData / "gf180mcu-fet_03v3.spice"});
    const std::vector<CardGroup> groups = BinnedGroups(library);
    ASSERT_EQ(groups.size(), 2u);
    EXPECT_EQ(groups[0].name, "nfet_03v3");
    EXPECT_EQ(groups[1].name, "pfet_03v3");
    EXPECT_EQ(groups[1].type, ModelType::Pmos);
    for (const CardGroup& group : groups) {
        SCOPED_TRACE(group.name);
        const GridResult grid = BuildBinTable(group, library);
        ASSERT_TRUE(grid.table) << Joined(grid.reasons);
        EXPECT_EQ(grid.lengthBins, 4);
        EXPECT_EQ(grid.widthBins, 4);
        const BinTable& table = *grid.table;
        const Bounds lengths{0.28e-6, 0.5e-6, 1.2e-6, 10e-6, 50.001e-6, 0};
        const Bounds widths{0.22e-6, 0.5e-6, 1.2e-6, 10e-6, 100.001e-6, 0};
        for (int i = 0; i < kBoundCount; ++i) {
            EXPECT_NEAR(table.lengthBounds[static_cast<std::size_t>(i)], lengths[static_cast<std::size_t>(i)],
                        1e-15);
            EXPECT_NEAR(table.widthBounds[static_cast<std::size_t>(i)], widths[static_cast<std::size_t>(i)],
                        1e-15);
        }
        // Bin index runs L fastest: .1 is the second length bin of the first width bin.
        for (int w = 0; w < 4; ++w) {
            for (int l = 0; l < 4; ++l) {
                EXPECT_EQ(PartName(table, w, l), group.name + "." + std::to_string(w * 4 + l));
            }
            EXPECT_EQ(PartName(table, w, 4), "");
        }
        EXPECT_TRUE(ValidateBounds(table).ok());
    }
}

TEST(BinGridTest, RefusesTheSky130PointBinsWithEveryReason) {
    const ModelLibrary library = ReadModelLibrary({kData / "sky130-nfet_01v8-discrete.spice"});
    const std::vector<CardGroup> groups = BinnedGroups(library);
    ASSERT_EQ(groups.size(), 1u);
    EXPECT_EQ(groups[0].name, "sky130_fd_pr__nfet_01v8__model");
    EXPECT_EQ(groups[0].cards.size(), 63u);
    const GridResult grid = BuildBinTable(groups[0], library);
    EXPECT_FALSE(grid.table);
    const std::string reasons = Joined(grid.reasons);
    EXPECT_NE(reasons.find(" width bins; a table holds 5 × 5"), std::string::npos) << reasons;
    EXPECT_NE(reasons.find("not a grid"), std::string::npos) << reasons;
    EXPECT_NE(reasons.find("sky130_fd_pr__nfet_01v8__model.0: name of 32 bytes; a cell holds 19"),
              std::string::npos);
    EXPECT_NE(reasons.find("local to subcircuit sky130_fd_pr__nfet_01v8"), std::string::npos);
    EXPECT_NE(reasons.find("more names too long"), std::string::npos);
}

// 257 cards along the diagonal cut the plane into 257 × 257 cells.
std::string Diagonal() {
    std::string text;
    for (int i = 0; i < 257; ++i) {
        text += Card("d." + std::to_string(i), i + 1, i + 2, i + 1, i + 2);
    }
    return text;
}

// Each synthetic library is refused for its own reason, named with the cards involved.
TEST(BinGridTest, RefusesWhatIsNoTableGrid) {
    const struct {
        const char* name;
        std::string text;
        const char* reason;
    } rows[] = {
        {"six length bins", Grid("n", 6, 2), "n: 6 length bins × 2 width bins; a table holds 5 × 5"},
        {"gap", Card("n.0", 1, 2, 1, 2) + Card("n.1", 2, 3, 1, 2) + Card("n.2", 1, 2, 2, 3),
         "n: not a grid: 1 of 4 cells hold no card (L 2e-06..3e-06 W 2e-06..3e-06)"},
        {"overlap", Card("n.0", 1, 3, 1, 2) + Card("n.1", 2, 3, 1, 2),
         "n.0 and n.1 overlap at L 2e-06..3e-06 W 1e-06..2e-06"},
        {"card cut by another's edge",
         Card("n.0", 1, 3, 1, 2) + Card("n.1", 1, 2, 2, 3) + Card("n.2", 2, 3, 2, 3),
         "n.0: spans 2 length bins × 1 width bins cut by other cards' edges"},
        {"long name", Card("a_very_long_model_name.0", 1, 2, 1, 2),
         "a_very_long_model_name.0: name of 24 bytes; a cell holds 19"},
        {"name with a NUL", Card(std::string("n\0x.0", 5), 1, 2, 1, 2),
         "n?x.0: name holds a control character"},
        {"inverted bounds", Card("n.0", 2, 1, 1, 2),
         "n.0: lmin 2e-06 lmax 1e-06 wmin 1e-06 wmax 2e-06 hold no area"},
        {"local to a subcircuit", ".subckt cell d g s b\n" + Card("n.0", 1, 2, 1, 2) + ".ends\n",
         "n.0: local to subcircuit cell; a netlist cannot name it"},
        {"scale option", ".option scale=1u\n" + Card("n.0", 1, 2, 1, 2),
         "lib.spice:1: .option scale=1u: the bounds are in another unit than L= and W="},
        {"same name, other bounds",
         ".lib tt\n" + Card("n.0", 1, 2, 1, 2) + ".endl\n.lib ff\n" + Card("n.0", 1, 3, 1, 2) + ".endl\n",
         "n.0: different bounds in section tt (lib.spice:2) and section ff (lib.spice:5); choose one section "
         "(--section)"},
        {"zero edge", Card("n.0", 0, 2, 1, 2), "n: Bad l value 0!"},
        {"plane too large", Diagonal(),
         "d: not a grid of a table's size; its 66049 cells are not looked at one by one"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const ModelLibrary library = ReadModelLibraryText(row.text, "lib.spice");
        const std::vector<CardGroup> groups = BinnedGroups(library);
        ASSERT_EQ(groups.size(), 1u);
        const GridResult grid = BuildBinTable(groups[0], library);
        EXPECT_FALSE(grid.table);
        EXPECT_NE(Joined(grid.reasons).find(std::string(row.reason) + "\n"), std::string::npos)
            << Joined(grid.reasons);
    }
}

TEST(BinGridTest, AlikeCornersCountOnceAndEdgesWithinToleranceMeet) {
    const std::string corner = Card("n.0", 1, 2, 1, 2) + Card("n.1", 2.0000000001, 3, 1, 2);
    const ModelLibrary library =
        ReadModelLibraryText(".lib tt\n" + corner + ".endl\n.lib ff\n" + corner + ".endl\n", "lib.spice");
    const std::vector<CardGroup> groups = BinnedGroups(library);
    ASSERT_EQ(groups.size(), 1u);
    EXPECT_EQ(groups[0].cards.size(), 2u);
    const GridResult grid = BuildBinTable(groups[0], library);
    ASSERT_TRUE(grid.table) << Joined(grid.reasons);
    EXPECT_EQ(grid.lengthBins, 2);
    EXPECT_EQ(PartName(*grid.table, 0, 1), "n.1");
}

TEST(BinGridTest, GlobsMatchWholeCardNamesWithoutRegardToCase) {
    const ModelLibrary library = ReadModelLibraryText(
        Card("nch_lv.0", 1, 2, 1, 2) + Card("nch_lv.1", 2, 3, 1, 2) + Card("NCH_HV.0", 1, 2, 1, 2) +
            Card("nch", 1, 2, 1, 2) + Card("pch_lv.0", 1, 2, 1, 2, "pmos"),
        "lib.spice");
    const std::vector<CardGroup> groups = BinnedGroups(library);
    const struct {
        const char* glob;
        const char* names; // the cards gathered, each followed by a space; empty: none
    } rows[] = {
        {"nch_*", "nch_lv.0 nch_lv.1 NCH_HV.0 "},
        {"NCH_?V.0", "nch_lv.0 NCH_HV.0 "},
        {"*.1", "nch_lv.1 "},
        {"*", "nch_lv.0 nch_lv.1 NCH_HV.0 nch "},
        {"**h", "nch "},
        {"n*h*.?", "nch_lv.0 nch_lv.1 NCH_HV.0 "},
        {"*_*v*", "nch_lv.0 nch_lv.1 NCH_HV.0 "},
        {"?ch", "nch "},
        {"nch?", ""},
        {"nch_lv.0?", ""},
        {"*x*", ""},
        {"p*", ""}, // pmos cards are not gathered for an nmos table
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.glob);
        const std::optional<CardGroup> gathered = GatherGroup(groups, ModelType::Nmos, row.glob);
        std::string names;
        for (const ModelCard& card : gathered ? gathered->cards : std::vector<ModelCard>{}) {
            names += card.name + " ";
        }
        EXPECT_EQ(names, row.names);
    }
}

// Each '*' of a glob once tried every split of the rest of the name, so fifteen of them over a name
// of sixty letters never ended; the name is now read once per '*' at most.
TEST(BinGridTest, GlobWithManyStarsOverALongNameEndsAtOnce) {
    const std::string name(60, 'a');
    const ModelLibrary library = ReadModelLibraryText(Card(name, 1, 2, 1, 2), "lib.spice");
    const std::vector<CardGroup> groups = BinnedGroups(library);
    std::string stars;
    for (int i = 0; i < 15; ++i) {
        stars += "*a";
    }
    EXPECT_FALSE(GatherGroup(groups, ModelType::Nmos, stars + "*b"));
    const std::optional<CardGroup> all = GatherGroup(groups, ModelType::Nmos, stars + "*");
    ASSERT_TRUE(all);
    EXPECT_EQ(all->cards.size(), 1u);
}

TEST(BinGridTest, GroupsByBaseOrTypeAndSelectsByNameOrGlob) {
    const ModelLibrary library = ReadModelLibraryText(
        Card("NCH_A", 1, 2, 1, 2) + Card("NCH_B", 2, 3, 1, 2) + Card("PCH_A", 1, 2, 1, 2, "pmos") +
            Card("lv.0", 1, 2, 1, 2) + Card("lv.x", 1, 2, 1, 2) +
            ".model hv.1 nmos lmin=1u lmax={x} wmin=1u wmax=2u\n",
        "lib.spice");
    const std::vector<CardGroup> groups = BinnedGroups(library);
    std::string names;
    for (const CardGroup& group : groups) {
        names += group.name + "/" + std::string(TypeName(group.type)) + "/" +
                 std::to_string(group.cards.size()) + " ";
    }
    EXPECT_EQ(names, "nmos/nmos/3 pmos/pmos/1 lv/nmos/1 ");

    const CardGroup* named = FindGroup(groups, ModelType::Nmos, "LV");
    ASSERT_NE(named, nullptr);
    EXPECT_EQ(named, &groups[2]);
    EXPECT_EQ(FindGroup(groups, ModelType::Pmos, "lv"), nullptr);
    EXPECT_EQ(FindGroup(groups, ModelType::Nmos, "lv*"), nullptr);
    const auto glob = GatherGroup(groups, ModelType::Nmos, "nch_*");
    ASSERT_TRUE(glob);
    EXPECT_EQ(glob->name, "nch_*");
    EXPECT_EQ(glob->cards.size(), 2u);
    EXPECT_FALSE(GatherGroup(groups, ModelType::Nmos, "xyz*"));
    EXPECT_FALSE(GatherGroup(groups, ModelType::Nmos, "NCH_A")); // a name without '*' or '?' gathers nothing

    const std::vector<std::string> unevaluated = UnevaluatedBounds(library);
    ASSERT_EQ(unevaluated.size(), 1u);
    EXPECT_EQ(unevaluated[0], "hv.1: lmax={x} not evaluated (lib.spice:6)");
}

} // namespace
} // namespace tarvex
