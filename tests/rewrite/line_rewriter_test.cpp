// SPDX-License-Identifier: MIT
#include "rewrite/line_rewriter.h"

#include "reference.h"
#include "support/param_name.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace tarvex {
namespace {

using namespace std::literals;

// N: widths [1u, 5u], lengths [0.5u, 2u]; cell [0][0] = NCH_S.
// P: widths [1u, 5u, 10u], lengths [0.5u, 2u]; cells [0][0] = PCH_S, [1][0] = PCH_W; [0][0] of an
// extra length bin is left empty so tests can hit a missing name.
RewriteRules MakeRules() {
    RewriteRules rules;
    rules.tableN.widthBounds = {1e-6, 5e-6, 0, 0, 0, 0};
    rules.tableN.lengthBounds = {5e-7, 2e-6, 4e-6, 0, 0, 0};
    SetPartName(rules.tableN, 0, 0, "NCH_S");
    rules.tableP.widthBounds = {1e-6, 5e-6, 10e-6, 0, 0, 0};
    rules.tableP.lengthBounds = {5e-7, 2e-6, 4e-6, 0, 0, 0};
    SetPartName(rules.tableP, 0, 0, "PCH_S");
    SetPartName(rules.tableP, 1, 0, "PCH_W");
    return rules;
}

std::string Rewrite(std::string_view line, const RewriteRules& rules, LineRewrite* result = nullptr) {
    std::string out;
    const LineRewrite r = RewriteLine(line, rules, out);
    if (result) {
        *result = r;
    }
    return out;
}

struct LineCase {
    const char* name;
    std::string_view in;
    std::string_view out;
};

void PrintTo(const LineCase& c, std::ostream* os) {
    *os << c.name;
}

class RewriteLineTest : public testing::TestWithParam<LineCase> {};

TEST_P(RewriteLineTest, Rewrites) {
    const LineCase& c = GetParam();
    EXPECT_EQ(Rewrite(c.in, MakeRules()), c.out);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, RewriteLineTest,
    testing::Values(
        LineCase{"TheClassicExample", "M1 3 2 0 0 MODxyN L=1U W=2U", "M1 3 2 0 0 NCH_S L=1U W=2U"},
        LineCase{"LineEndKept", "M1 3 2 0 0 MODxyN L=1U W=2U\r\n", "M1 3 2 0 0 NCH_S L=1U W=2U\r\n"},
        LineCase{"OnlyFirstOccurrenceReplaced", "M1 MODxyN MODxyN L=1U W=2U", "M1 NCH_S MODxyN L=1U W=2U"},
        LineCase{"BothKeysUseTheSameSize", "M1 MODxyN MODxyP L=1U W=6U", "M1 MODxyN PCH_W L=1U W=6U"},
        LineCase{"BothKeysReplaced", "X MODxyP MODxyN W=2U L=1U", "X PCH_S NCH_S W=2U L=1U"},
        LineCase{"WidthBeforeLength", "M2 d g s b MODxyP W=6u L=1u", "M2 d g s b PCH_W W=6u L=1u"},
        LineCase{"KeysAreCaseSensitive", "M1 modxyn L=1U W=2U", "M1 modxyn L=1U W=2U"},
        LineCase{"LowerCaseLAndWAreNotMarkers", "M1 MODxyN l=1U w=2U", "M1 MODxyN l=1U w=2U"},
        // "SL=" holds "L=" too: the first "L=" of the line wins, here 8u, which is in no N bin.
        LineCase{"LEqualsInsideLongerName", "M1 MODxyN SL=8U L=1U W=2U", "M1 MODxyN SL=8U L=1U W=2U"},
        LineCase{"KeyInsideComment", "* MODxyN L=1U W=2U", "* NCH_S L=1U W=2U"},
        LineCase{"NoKeyPassesUntouched", "R1 1 2 10k L=1U W=2U\n", "R1 1 2 10k L=1U W=2U\n"},
        LineCase{"BlankAfterEqualsHidesSuffix", "M1 MODxyN L= 1U W=2U", "M1 MODxyN L= 1U W=2U"},
        LineCase{"BinaryBytesSurvive", "M1 \xff\0 MODxyN L=1U W=2U\0\n"sv,
                 "M1 \xff\0 NCH_S L=1U W=2U\0\n"sv}),
    test::RowName());

TEST(RewriteLineEventsTest, ReportsOutcomeBinsAndSizes) {
    LineRewrite r;
    Rewrite("M1 MODxyN MODxyP L=3U W=2U", MakeRules(), &r);
    ASSERT_TRUE(r.n && r.p);
    EXPECT_EQ(r.n->outcome, DeviceOutcome::MissingName);
    EXPECT_EQ(r.n->widthBin, 0);
    EXPECT_EQ(r.n->lengthBin, 1);
    EXPECT_DOUBLE_EQ(r.n->length, 3e-6);
    EXPECT_DOUBLE_EQ(r.n->width, 2e-6);
    EXPECT_EQ(ProblemMessage(*r.n), "Error: Missing MODxyN part name!");
    EXPECT_EQ(r.p->polarity, Polarity::P);
    EXPECT_EQ(ProblemMessage(*r.p), "Error: Missing MODxyP part name!");
}

TEST(RewriteLineEventsTest, NoBinKeepsTheKeyAndSaysWhy) {
    LineRewrite r;
    EXPECT_EQ(Rewrite("M1 MODxyN L=1U W=20U", MakeRules(), &r), "M1 MODxyN L=1U W=20U");
    ASSERT_TRUE(r.n);
    EXPECT_FALSE(r.p);
    EXPECT_EQ(r.n->outcome, DeviceOutcome::NoBin);
    EXPECT_FALSE(r.n->widthBin);
    EXPECT_EQ(ProblemMessage(*r.n), "Error: No MODxyN bin for L=1e-06 W=2e-05!");
}

// With every cell named, a size the line does not give must not land in the unused [0, 0] bins
// that the 0 it reads as would match: the device keeps its Key and says what it lacks.
TEST(RewriteLineEventsTest, DeviceWithoutAReadableSizeKeepsItsKey) {
    RewriteRules rules = MakeRules();
    rules.tableN.widthBounds = {1e-6, 5e-6, 0, 0, 0, 0};
    rules.tableN.lengthBounds = {1e-6, 5e-6, 0, 0, 0, 0};
    for (int w = 0; w < kBinCount; ++w) {
        for (int l = 0; l < kBinCount; ++l) {
            SetPartName(rules.tableN, w, l, "N" + std::to_string(w) + std::to_string(l));
        }
    }
    const struct {
        std::string_view line;
        std::string_view label;
        std::string_view message;
    } cases[] = {
        {"M7 1 2 3 4 MODxyN\n", "no L= or W=", "Error: MODxyN device has no readable L= or W=!"},
        {"M1 d g s b MODxyN L={lp} W=4u", "no L=", "Error: MODxyN device has no readable L=!"},
        {"M1 d g s b MODxyN L=2u W=", "no W=", "Error: MODxyN device has no readable W=!"},
        {"M1 d g s b MODxyN L=0 W=2u", "no bin", "Error: No MODxyN bin for L=0 W=2e-06!"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        LineRewrite r;
        EXPECT_EQ(Rewrite(c.line, rules, &r), c.line);
        ASSERT_TRUE(r.n);
        EXPECT_EQ(r.n->outcome, DeviceOutcome::NoBin);
        EXPECT_EQ(ProblemLabel(*r.n), c.label);
        EXPECT_EQ(ProblemMessage(*r.n), c.message);
    }
    EXPECT_EQ(Rewrite("M1 d g s b MODxyN L=2u W=4u", rules), "M1 d g s b N00 L=2u W=4u");
}

TEST(RewriteLineEventsTest, InsertedNNameHoldingThePKeyIsReplacedToo) {
    RewriteRules rules = MakeRules();
    SetPartName(rules.tableN, 0, 0, "X_MODxyP");
    LineRewrite r;
    EXPECT_EQ(Rewrite("M1 MODxyN L=1U W=2U", rules, &r), "M1 X_PCH_S L=1U W=2U");
    EXPECT_TRUE(r.n && r.p);
}

TEST(RewriteLineEventsTest, LongLinesAreRewrittenWhole) {
    const std::string padding(5000, 'x');
    const std::string line = padding + " MODxyN " + padding + " L=1U W=2U\n";
    std::string expected = line;
    expected.replace(padding.size() + 1, 6, "NCH_S");
    EXPECT_EQ(Rewrite(line, MakeRules()), expected);
}

TEST(RewriteLineEventsTest, AppendsAfterWhatOutAlreadyHolds) {
    std::string out = "previous\n";
    RewriteLine("M1 MODxyP MODxyN L=1U W=2U\n", MakeRules(), out);
    EXPECT_EQ(out, "previous\nM1 PCH_S NCH_S L=1U W=2U\n");
}

TEST(ReplaceFirstTest, ReplacesOnlyTheFirstOccurrence) {
    std::string line = "a MODxyN b MODxyN";
    EXPECT_TRUE(ReplaceFirst(line, "MODxyN", "LONGER_NAME"));
    EXPECT_EQ(line, "a LONGER_NAME b MODxyN");
    EXPECT_FALSE(ReplaceFirst(line, "nothere", "x"));
    EXPECT_EQ(line, "a LONGER_NAME b MODxyN");
}

// Keys and names from a two-letter alphabet overlap in every possible way: a P Key inside or across
// the inserted N name, Keys overlapping each other, repeated Keys.
TEST(RewriteLineRandomTest, MatchesTheLiteralRewrite) {
    std::mt19937 random(99);
    const auto word = [&](std::size_t minLength, std::size_t maxLength) {
        std::string text(minLength + random() % (maxLength - minLength + 1), 'A');
        for (char& c : text) {
            c = "ABx"[random() % 3];
        }
        return text;
    };
    const char* pieces[] = {"A", "B", "AB", "BA", "x", " L=1u", " W=2u", " L=3u", " W=9u", "\n"};
    for (int round = 0; round < 20000; ++round) {
        RewriteRules rules;
        rules.keyN = word(1, 3);
        rules.keyP = word(1, 3);
        for (BinTable* table : {&rules.tableN, &rules.tableP}) {
            table->widthBounds = {1e-6, 5e-6, 0, 0, 0, 0};
            table->lengthBounds = {5e-7, 2e-6, 0, 0, 0, 0};
            SetPartName(*table, 0, 0, word(0, 4));
        }
        std::string line;
        for (int i = static_cast<int>(random() % 8); i >= 0; --i) {
            line += pieces[random() % std::size(pieces)];
        }
        std::string out;
        RewriteLine(line, rules, out);
        ASSERT_EQ(out, fuzz::ReferenceRewriteLine(line, rules).output)
            << "line '" << line << "' keys '" << rules.keyN << "' '" << rules.keyP << "' names '"
            << PartName(rules.tableN, 0, 0) << "' '" << PartName(rules.tableP, 0, 0) << "'";
    }
}

// Two families: the core one of MakeRules, and one with the Keys HVxyN and HVxyP whose tables
// have the same bounds and the names HV_N (N [0][0]), HV_P and HV_PW (P [0][0] and [1][0]).
std::vector<RewriteRules> TwoFamilies() {
    std::vector<RewriteRules> families{MakeRules(), MakeRules()};
    families[1].keyN = "HVxyN";
    families[1].keyP = "HVxyP";
    SetPartName(families[1].tableN, 0, 0, "HV_N");
    SetPartName(families[1].tableP, 0, 0, "HV_P");
    SetPartName(families[1].tableP, 1, 0, "HV_PW");
    return families;
}

// One device as a family index, a polarity and an outcome: "0N+" replaced, "1P-" no bin, "0N?"
// missing name.
std::string Brief(const DeviceEvent& event) {
    const char outcome = event.outcome == DeviceOutcome::Replaced      ? '+'
                         : event.outcome == DeviceOutcome::MissingName ? '?'
                                                                       : '-';
    return std::to_string(event.family) + (event.polarity == Polarity::N ? 'N' : 'P') + outcome;
}

TEST(RewriteLineFamiliesTest, EachFamilyInTurnOnTheLineAsItStands) {
    const struct {
        const char* name;
        std::string_view coreN; // the core N name of cell [0][0], when not NCH_S
        std::string_view hvN;   // the HV N name of cell [0][0], when not HV_N
        std::string_view in;
        std::string_view out;
        std::vector<std::string> devices;
    } cases[] = {
        {"BothFamiliesOnOneLine",
         {},
         {},
         "M1 MODxyN HVxyP L=1U W=2U\n",
         "M1 NCH_S HV_P L=1U W=2U\n",
         {"0N+", "1P+"}},
        {"FamilyOrderNotPlaceInTheLine",
         {},
         {},
         "X HVxyN MODxyP L=1U W=2U",
         "X HV_N PCH_S L=1U W=2U",
         {"0P+", "1N+"}},
        {"FirstFamilysNameHoldsAKeyOfTheSecond",
         "C_HVxyP",
         {},
         "M1 MODxyN L=1U W=2U",
         "M1 C_HV_P L=1U W=2U",
         {"0N+", "1P+"}},
        {"SecondFamilysNameHoldingAKeyOfTheFirstStays",
         {},
         "H_MODxyP",
         "M1 HVxyN L=1U W=2U",
         "M1 H_MODxyP L=1U W=2U",
         {"1N+"}},
        {"KeyOfTheSecondFamilyFormedAcrossAName",
         "xyP",
         {},
         "M1 HVMODxyN L=1U W=2U",
         "M1 HV_P L=1U W=2U",
         {"0N+", "1P+"}},
        {"KeptKeyLeavesTheOtherFamilyAlone",
         {},
         {},
         "M1 MODxyN HVxyP L=1U W=6U",
         "M1 MODxyN HV_PW L=1U W=6U",
         {"0N-", "1P+"}},
        {"MissingNamesInBothFamilies",
         {},
         {},
         "M1 MODxyN HVxyN L=3U W=2U",
         "M1 MODxyN HVxyN L=3U W=2U",
         {"0N?", "1N?"}},
        {"OnlyTheFirstOccurrenceOfEachKey",
         {},
         {},
         "M1 HVxyN HVxyN MODxyN L=1U W=2U",
         "M1 HV_N HVxyN NCH_S L=1U W=2U",
         {"0N+", "1N+"}},
        // The inserted name carries "L=9U", which is in no bin: the second family still reads the
        // sizes of the line as read.
        {"SizesComeFromTheLineAsRead",
         "Z L=9U",
         {},
         "M1 MODxyN HVxyN L=1U W=2U",
         "M1 Z L=9U HV_N L=1U W=2U",
         {"0N+", "1N+"}},
        {"LineWithoutAKeyIsUnchanged", {}, {}, "R1 1 2 10k L=1U W=2U\r\n", "R1 1 2 10k L=1U W=2U\r\n", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<RewriteRules> families = TwoFamilies();
        if (!c.coreN.empty()) {
            SetPartName(families[0].tableN, 0, 0, c.coreN);
        }
        if (!c.hvN.empty()) {
            SetPartName(families[1].tableN, 0, 0, c.hvN);
        }
        std::string out = "before|";
        const std::vector<DeviceEvent> events = RewriteLine(c.in, families, out);
        EXPECT_EQ(out, "before|" + std::string(c.out));
        std::vector<std::string> devices;
        for (const DeviceEvent& event : events) {
            devices.push_back(Brief(event));
            // A replaced Key's part name is its own family's cell.
            if (event.outcome == DeviceOutcome::Replaced) {
                const RewriteRules& rules = families[event.family];
                EXPECT_EQ(event.partName,
                          PartName(event.polarity == Polarity::N ? rules.tableN : rules.tableP,
                                   *event.widthBin, *event.lengthBin));
            }
        }
        EXPECT_EQ(devices, c.devices);
        EXPECT_EQ(out, "before|" + fuzz::ReferenceRewriteLine(c.in, families).output);
    }
}

// Up to three families of Keys and names from a two-letter alphabet: Keys equal to or inside other
// families' Keys, names forming Keys of later families, and no family at all. One family in a span
// is the single-family rewrite with the same devices.
TEST(RewriteLineFamiliesTest, MatchesTheLiteralRewrite) {
    std::mt19937 random(2024);
    const auto word = [&](std::size_t minLength, std::size_t maxLength) {
        std::string text(minLength + random() % (maxLength - minLength + 1), 'A');
        for (char& c : text) {
            c = "ABx"[random() % 3];
        }
        return text;
    };
    const char* pieces[] = {"A", "B", "AB", "BA", "x", " L=1u", " W=2u", " L=3u", " W=9u", "\n"};
    for (int round = 0; round < 20000; ++round) {
        std::vector<RewriteRules> families(random() % 4);
        for (RewriteRules& rules : families) {
            rules.keyN = word(1, 3);
            rules.keyP = word(1, 3);
            for (BinTable* table : {&rules.tableN, &rules.tableP}) {
                table->widthBounds = {1e-6, 5e-6, 0, 0, 0, 0};
                table->lengthBounds = {5e-7, 2e-6, 0, 0, 0, 0};
                SetPartName(*table, 0, 0, word(0, 4));
            }
        }
        std::string line;
        for (int i = static_cast<int>(random() % 8); i >= 0; --i) {
            line += pieces[random() % std::size(pieces)];
        }
        std::string out;
        const std::vector<DeviceEvent> events = RewriteLine(line, families, out);
        std::string keys;
        for (const RewriteRules& rules : families) {
            keys += " '" + rules.keyN + "' '" + rules.keyP + "' ('" +
                    std::string(PartName(rules.tableN, 0, 0)) + "' '" +
                    std::string(PartName(rules.tableP, 0, 0)) + "')";
        }
        ASSERT_EQ(out, fuzz::ReferenceRewriteLine(line, families).output)
            << "line '" << line << "' keys" << keys;
        ASSERT_TRUE(
            std::is_sorted(events.begin(), events.end(), [](const DeviceEvent& a, const DeviceEvent& b) {
                return std::pair(a.family, a.polarity) < std::pair(b.family, b.polarity);
            }));
        if (families.size() == 1) {
            std::string single;
            const LineRewrite one = RewriteLine(line, families.front(), single);
            ASSERT_EQ(single, out);
            ASSERT_EQ(events.size(), std::size_t{one.n.has_value()} + std::size_t{one.p.has_value()});
        }
        if (families.empty()) {
            ASSERT_EQ(out, line);
            ASSERT_TRUE(events.empty());
        }
    }
}

} // namespace
} // namespace tarvex
