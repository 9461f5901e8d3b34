// SPDX-License-Identifier: MIT
#include "bins/bin_table.h"

#include "bins/engineering_value.h"

#include "support/failure_of.h"
#include "support/param_name.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <optional>
#include <random>
#include <string>

namespace tarvex {
namespace {

struct FindBinCase {
    const char* name;
    Bounds bounds;
    double x;
    std::optional<int> expected;
};

void PrintTo(const FindBinCase& c, std::ostream* os) {
    *os << c.name;
}

class FindBinTest : public testing::TestWithParam<FindBinCase> {};

TEST_P(FindBinTest, FindsTheFirstClosedInterval) {
    const FindBinCase& c = GetParam();
    EXPECT_EQ(FindBin(c.bounds, c.x), c.expected);
}

constexpr Bounds kThreeBounds{1e-6, 2e-6, 4e-6, 0, 0, 0};
constexpr Bounds kSixBounds{1, 2, 3, 4, 5, 6};

INSTANTIATE_TEST_SUITE_P(
    Lookup, FindBinTest,
    testing::Values(
        FindBinCase{"InnerBoundBelongsToLowerBin", kThreeBounds, 2e-6, 0},
        FindBinCase{"InsideSecondBin", kThreeBounds, 3e-6, 1},
        FindBinCase{"OnLowestBound", kThreeBounds, 1e-6, 0},
        FindBinCase{"OnHighestBound", kThreeBounds, 4e-6, 1},
        FindBinCase{"AboveEveryBin", kThreeBounds, 5e-6, std::nullopt},
        FindBinCase{"BelowEveryBin", kThreeBounds, 0.5e-6, std::nullopt},
        // [4e-6, 0] holds nothing, and the unused end [0, 0] holds no size, not even
        // the 0 that a missing "L=" reads as.
        FindBinCase{"ZeroIsInNoZeroZeroBin", kThreeBounds, 0.0, std::nullopt},
        FindBinCase{"NegativeZeroIsInNoZeroZeroBin", Bounds{1, 2, 0, 0, 0, 0}, -0.0, std::nullopt},
        FindBinCase{"AllZeroTableHoldsNothing", Bounds{}, 0.0, std::nullopt},
        FindBinCase{"AllZeroTableRejectsSizes", Bounds{}, 1e-6, std::nullopt},
        FindBinCase{"ZeroInABinFromNegativeToPositive", Bounds{-1, 1, 0, 0, 0, 0}, 0.0, 0},
        FindBinCase{"LastOfFiveBins", kSixBounds, 5.5, 4},
        FindBinCase{"InnerBoundOfFullTable", kSixBounds, 5.0, 3},
        FindBinCase{"NaNHasNoBin", kSixBounds, std::numeric_limits<double>::quiet_NaN(), std::nullopt}),
    test::RowName());

TEST(FindBinToleranceTest, NumbersOneUlpApartAreEqual) {
    // "180n" and "0.18u" are neighbouring doubles; a device drawn at either must land on the bound.
    const double typed = ParseFieldValue("180n").value;
    const double drawn = ParseNetlistValue("0.18u");
    ASSERT_NE(typed, drawn) << "the premise of this test: the two spellings differ by rounding";
    const Bounds fromBelow{typed, 1e-6, 0, 0, 0, 0};
    EXPECT_EQ(FindBin(fromBelow, drawn), 0);
    const Bounds fromAbove{0.1e-6, typed, 0, 0, 0, 0};
    EXPECT_EQ(FindBin(fromAbove, drawn), 0);
}

TEST(FindBinToleranceTest, OutsideTheToleranceTheRuleIsExact) {
    const Bounds bounds{1e-6, 2e-6, 0, 0, 0, 0};
    EXPECT_EQ(FindBin(bounds, 1e-6 * (1 + 2e-9)), 0);
    EXPECT_EQ(FindBin(bounds, 1e-6 * (1 - 2e-9)), std::nullopt);
    EXPECT_EQ(FindBin(bounds, 2e-6 * (1 + 2e-9)), std::nullopt);
    EXPECT_EQ(FindBin(bounds, 2e-6 * (1 + 0.5e-9)), 0);
}

// The lookup written out plainly, one bin after the other, with the tolerance as documented.
std::optional<int> PlainFindBin(const Bounds& bounds, double x) {
    const auto near = [](double a, double b) {
        return a == b || (std::isfinite(a) && std::isfinite(b) &&
                          std::fabs(a - b) <= 1e-9 * std::max(std::fabs(a), std::fabs(b)));
    };
    const auto lessOrEqual = [&](double a, double b) { return a <= b || near(a, b); };
    for (std::size_t i = 0; i + 1 < bounds.size(); ++i) {
        const bool unusedEnd = bounds[i] == 0 && bounds[i + 1] == 0;
        if (!unusedEnd && lessOrEqual(bounds[i], x) && lessOrEqual(x, bounds[i + 1])) {
            return static_cast<int>(i);
        }
    }
    return std::nullopt;
}

// Unsorted tables (the P table is not validated), infinities, NaN, signed zeros, denormals and
// numbers a rounding apart: the lookup that makes every comparison at once agrees with the plain one.
TEST(FindBinToleranceTest, AgreesWithThePlainLookupOnAnyTable) {
    constexpr double kInf = std::numeric_limits<double>::infinity();
    const double values[] = {0.0,
                             -0.0,
                             1e-6,
                             1e-6 * (1 + 1e-9),
                             1e-6 * (1 + 3e-9),
                             2e-6,
                             -1e-6,
                             5e-7,
                             kInf,
                             -kInf,
                             std::numeric_limits<double>::quiet_NaN(),
                             4.9e-324,
                             1.7e308,
                             -1.7e308,
                             3.0};
    std::mt19937 random(99);
    for (int round = 0; round < 200000; ++round) {
        Bounds bounds;
        for (double& bound : bounds) {
            bound = values[random() % std::size(values)];
        }
        const double x = values[random() % std::size(values)];
        ASSERT_EQ(FindBin(bounds, x), PlainFindBin(bounds, x)) << "round " << round;
        ASSERT_EQ(BinFinder(bounds).find(x), PlainFindBin(bounds, x)) << "round " << round;
    }
}

// The prepared lookup on every double around the edges of each bound's tolerance, at magnitudes
// from subnormal to huge, positive and negative.
TEST(FindBinToleranceTest, PreparedLookupAgreesAtTheEdgesOfTheTolerance) {
    const double magnitudes[] = {4.9e-324, 3e-320, 2.2e-308, 1e-300, 1.8e-7, 1e-6,
                                 0.35e-6,  1.0,    3.0,      1e10,   1.7e308};
    for (const double magnitude : magnitudes) {
        for (const double bound : {magnitude, -magnitude}) {
            SCOPED_TRACE(bound);
            const Bounds bounds{bound, bound * 2, bound * 3, 0, 0, 0};
            const BinFinder finder(bounds);
            for (const double edge : {bound, bound * (1 + 1e-9), bound * (1 - 1e-9), bound * 2 * (1 + 1e-9),
                                      bound * 2 * (1 - 1e-9), bound * 3 * (1 - 1e-9)}) {
                double x = edge;
                for (int step = 0; step < 64; ++step) {
                    x = std::nextafter(x, -std::numeric_limits<double>::infinity());
                }
                for (int step = 0; step < 128;
                     ++step, x = std::nextafter(x, std::numeric_limits<double>::infinity())) {
                    ASSERT_EQ(finder.find(x), PlainFindBin(bounds, x)) << x;
                }
            }
        }
    }
}

struct ValidateCase {
    const char* name;
    Bounds width;
    Bounds length;
    std::optional<std::string> expected;
    std::string place; // where FindBoundFault puts the fault, in table "T"
};

void PrintTo(const ValidateCase& c, std::ostream* os) {
    *os << c.name;
}

class ValidateBoundsTest : public testing::TestWithParam<ValidateCase> {};

TEST_P(ValidateBoundsTest, ReportsTheFirstFault) {
    const ValidateCase& c = GetParam();
    BinTable table;
    table.widthBounds = c.width;
    table.lengthBounds = c.length;
    EXPECT_EQ(test::FailureOf(ValidateBounds(table)), c.expected);
    const std::optional<BoundFault> fault = FindBoundFault(table);
    ASSERT_EQ(fault.has_value(), c.expected.has_value());
    if (fault) {
        EXPECT_EQ(BoundFaultMessage(*fault), c.expected);
        EXPECT_EQ(BoundFaultPlace(*fault, "T"), c.place);
        const Bounds& axis = fault->axis == BoundAxis::Width ? c.width : c.length;
        EXPECT_EQ(std::bit_cast<std::uint64_t>(fault->value),
                  std::bit_cast<std::uint64_t>(axis[fault->index]));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Shapes, ValidateBoundsTest,
    testing::Values(
        ValidateCase{"AllZeroIsValid", {}, {}, std::nullopt, ""},
        ValidateCase{"RisingThenZeros", {1e-6, 2e-6, 4e-6, 0, 0, 0}, {1, 2, 0, 0, 0, 0}, std::nullopt, ""},
        ValidateCase{"FullRising", {1, 2, 3, 4, 5, 6}, {1, 2, 3, 4, 5, 6}, std::nullopt, ""},
        ValidateCase{"SingleBoundThenZero", {1e-6, 0, 0, 0, 0, 0}, {}, std::nullopt, ""},
        ValidateCase{
            "ZeroBeforePositive", {0, 1e-6, 0, 0, 0, 0}, {}, "Bad w value 0!", "T table, width bound 1"},
        ValidateCase{
            "Descending", {2e-6, 1e-6, 0, 0, 0, 0}, {}, "Bad w value 2e-06!", "T table, width bound 1"},
        ValidateCase{
            "EqualNeighbours", {1e-6, 1e-6, 0, 0, 0, 0}, {}, "Bad w value 1e-06!", "T table, width bound 1"},
        ValidateCase{"NearlyEqualNeighbours",
                     {1e-6, 1e-6 * (1 + 1e-12), 0, 0, 0, 0},
                     {},
                     "Bad w value 1e-06!",
                     "T table, width bound 1"},
        ValidateCase{"GapInTheMiddle", {1, 2, 0, 3, 0, 0}, {}, "Bad w value 0!", "T table, width bound 3"},
        ValidateCase{
            "NegativeAfterPositive", {1, -1, 0, 0, 0, 0}, {}, "Bad w value 1!", "T table, width bound 1"},
        ValidateCase{"WidthBeforeLength",
                     {2, 1, 0, 0, 0, 0},
                     {3, 1, 0, 0, 0, 0},
                     "Bad w value 2!",
                     "T table, width bound 1"},
        ValidateCase{"LengthAfterWidthsPass",
                     {1, 2, 0, 0, 0, 0},
                     {0, 5e-7, 0, 0, 0, 0},
                     "Bad l value 0!",
                     "T table, length bound 1"},
        ValidateCase{"LengthDescending",
                     {},
                     {3e-7, 2e-7, 0, 0, 0, 0},
                     "Bad l value 3e-07!",
                     "T table, length bound 1"},
        ValidateCase{"NaNBound",
                     {std::numeric_limits<double>::quiet_NaN(), 1, 0, 0, 0, 0},
                     {},
                     "Bad w value nan!",
                     "T table, width bound 1"}),
    test::RowName());

TEST(BinTableRecordTest, SerialisesLittleEndianAtTheDocumentedOffsets) {
    BinTable table;
    table.widthBounds[0] = 1.0;   // 0x3FF0000000000000
    table.lengthBounds[5] = -2.0; // 0xC000000000000000
    SetPartName(table, 1, 2, "NCH");
    table.filler[2] = 0xAB;
    std::array<unsigned char, kBinTableSize> bytes{};
    WriteBinTable(table, bytes);

    EXPECT_EQ(bytes[6], 0xF0);
    EXPECT_EQ(bytes[7], 0x3F);
    EXPECT_EQ(bytes[48 + 5 * 8 + 7], 0xC0);
    EXPECT_EQ(std::memcmp(bytes.data() + 96 + 105 * 1 + 21 * 2, "NCH", 4), 0);
    EXPECT_EQ(bytes[623], 0xAB);
}

TEST(BinTableRecordTest, EveryByteRoundTrips) {
    std::array<unsigned char, kBinTableSize> original{};
    for (std::size_t i = 0; i < original.size(); ++i) {
        original[i] = static_cast<unsigned char>(i * 37 + 11);
    }
    std::array<unsigned char, kBinTableSize> written{};
    WriteBinTable(ReadBinTable(original), written);
    EXPECT_EQ(written, original);
}

TEST(PartNameTest, SetKeepsBytesAfterTheNulAndCutsAt19) {
    BinTable table;
    std::memset(table.partNames[0][0], 'x', kNameCellSize);
    EXPECT_EQ(PartName(table, 0, 0), std::string(kNameCellSize, 'x'))
        << "a cell without NUL ends with its field";

    SetPartName(table, 0, 0, "AB");
    EXPECT_EQ(PartName(table, 0, 0), "AB");
    EXPECT_EQ(table.partNames[0][0][3], 'x');

    SetPartName(table, 4, 4, "ABCDEFGHIJKLMNOPQRSTUVWXY");
    EXPECT_EQ(PartName(table, 4, 4), "ABCDEFGHIJKLMNOPQRS");
}

} // namespace
} // namespace tarvex
