// SPDX-License-Identifier: MIT
#include "process/binned_copy.h"

#include "support/param_name.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace tarvex {
namespace {

using namespace std::literals;

struct CopyCase {
    const char* name;
    std::string_view ant;
    std::string_view net;
    CopyRelation expected;
};

void PrintTo(const CopyCase& c, std::ostream* os) {
    *os << c.name;
}

class CompareWithBackupTest : public testing::TestWithParam<CopyCase> {};

// Every case read whole, a byte at a time and in small odd pieces: line ends cut by a read ("\r"
// then "\n") must not change the answer.
TEST_P(CompareWithBackupTest, TellsCopiesFromOtherNetlists) {
    const CopyCase& c = GetParam();
    for (const std::size_t piece : {SIZE_MAX, std::size_t{1}, std::size_t{3}}) {
        SCOPED_TRACE(piece);
        MemoryReader ant(c.ant, piece);
        MemoryReader net(c.net, piece == SIZE_MAX ? piece : piece + 1);
        const CopyComparison compared = CompareWithBackup(ant, net, RewriteRules{});
        EXPECT_FALSE(compared.error);
        EXPECT_EQ(compared.relation, c.expected);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CompareWithBackupTest,
    testing::Values(
        CopyCase{"BothEmpty", "", "", CopyRelation::Identical},
        CopyCase{"SameText", "* a\r\nM1 MODxyN L=1U\n", "* a\r\nM1 MODxyN L=1U\n", CopyRelation::Identical},
        CopyCase{"KeysReplaced", "* a\nM1 d MODxyN MODxyP L=1U\r\nM2 MODxyP\n",
                 "* a\nM1 d NCH PCH L=1U\r\nM2 P\n", CopyRelation::BinnedCopy},
        CopyCase{"OneKeyKeptOneReplaced", "M1 MODxyN x MODxyN y\n", "M1 N_LONGER_NAME x MODxyN y\n",
                 CopyRelation::BinnedCopy},
        CopyCase{"EditBeforeTheKey", "M1 d MODxyN L=1U\n", "M2 d NCH L=1U\n", CopyRelation::Different},
        CopyCase{"EditAfterTheKey", "M1 d MODxyN L=1U\n", "M1 d NCH L=2U\n", CopyRelation::Different},
        CopyCase{"EditOnALineWithoutKey", "* a\nM1 MODxyN\n", "* b\nM1 NCH\n", CopyRelation::Different},
        CopyCase{"LineAdded", "M1 MODxyN\n", "M1 NCH\n* more\n", CopyRelation::Different},
        CopyCase{"LastLineDropped", "M1 MODxyN\n* end", "M1 NCH\n", CopyRelation::Different},
        CopyCase{"LineEndChanged", "M1 MODxyN\r\n", "M1 MODxyN\n", CopyRelation::Different},
        CopyCase{"LoneCarriageReturnsAreLineEnds", "M1 MODxyN\rM2 MODxyP\r", "M1 NCH\rM2 PCH\r",
                 CopyRelation::BinnedCopy},
        CopyCase{"KeyRegionEmptied", "x MODxyN y\n", "x y\n", CopyRelation::Different},
        CopyCase{"NulBytesCompared", "M1 \0MODxyN\0 L=1U\n"sv, "M1 \0NCH\0 L=1U\n"sv,
                 CopyRelation::BinnedCopy}),
    test::RowName());

// An N part name may form the P Key together with the byte before the N Key; the P pass then
// replaces from that byte on, one byte before the N Key itself.
TEST(DiffersOnlyAtKeysTest, PKeyFormedBeforeTheInsertedNName) {
    RewriteRules rules;
    rules.keyN = "\xfb";
    rules.keyP = "xn00";
    for (BinTable* table : {&rules.tableN, &rules.tableP}) {
        table->widthBounds = {1e-6, 5e-6, 0, 0, 0, 0};
        table->lengthBounds = {5e-7, 2e-6, 0, 0, 0, 0};
    }
    SetPartName(rules.tableN, 0, 0, "n00");
    SetPartName(rules.tableP, 0, 0, "PCH");
    const std::string ant = "M1 x\xfb L=1U W=2U\n";
    std::string net;
    RewriteLine(ant, rules, net);
    ASSERT_EQ(net, "M1 PCH L=1U W=2U\n");

    EXPECT_TRUE(DiffersOnlyAtKeys(ant, net, rules));
    EXPECT_FALSE(DiffersOnlyAtKeys(ant, "N1 PCH L=1U W=2U\n", rules));
    EXPECT_FALSE(DiffersOnlyAtKeys(ant, "M1 PCH L=1U W=2U\r\n", rules));
    EXPECT_FALSE(DiffersOnlyAtKeys("M1 plain line\n", "M1 other line\n", rules));
}

} // namespace
} // namespace tarvex
