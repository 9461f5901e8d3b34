// SPDX-License-Identifier: MIT
#include "bins/engineering_value.h"

#include "support/param_name.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <random>
#include <string>
#include <utility>

namespace tarvex {
namespace {

using namespace std::literals;

struct ValueCase {
    const char* name;
    std::string_view text;
    double expected;
};

void PrintTo(const ValueCase& c, std::ostream* os) {
    *os << c.name;
}

class NetlistValueTest : public testing::TestWithParam<ValueCase> {};

TEST_P(NetlistValueTest, Parses) {
    const ValueCase& c = GetParam();
    EXPECT_DOUBLE_EQ(ParseNetlistValue(c.text), c.expected) << '"' << c.text << '"';
}

INSTANTIATE_TEST_SUITE_P(
    Suffixes, NetlistValueTest,
    testing::Values(
        ValueCase{"Micro", "0.5u", 5e-7}, ValueCase{"Meg", "2MEG", 2e6},
        ValueCase{"MegLowerCase", "2meg", 2e6}, ValueCase{"MIsMilli", "1.2m", 0.0012},
        ValueCase{"Kilo", "10K", 1e4}, ValueCase{"EIsNoSuffix", "1E-6", 1e-6}, ValueCase{"Tera", "1t", 1e12},
        ValueCase{"Giga", "3G", 3e9}, ValueCase{"Nano", "180n", 180e-9}, ValueCase{"Pico", "2p", 2e-12},
        ValueCase{"Femto", "5F", 5e-15}, ValueCase{"Compounding", "3UM", 3e-9},
        ValueCase{"LetterAppliesOnce", "2UU", 2e-6}, ValueCase{"MegWinsOverOthers", "1MEGU", 1e6},
        ValueCase{"UnitLettersCount", "1.5um", 1.5e-9}, ValueCase{"NoNumber", "U", 0.0},
        ValueCase{"Empty", "", 0.0}, ValueCase{"Plain", "2.53696435353243e-07", 2.53696435353243e-07},
        ValueCase{"SignAndExponent", "-1.5e+06u", -1.5}, ValueCase{"ThreeDigitExponent", "1.6E-006", 1.6e-6},
        ValueCase{"HexNumberAndMilli", "0x6M", 0.006}, ValueCase{"HexUpperCase", "0X2", 2.0}),
    test::RowName());

INSTANTIATE_TEST_SUITE_P(TokenCutting, NetlistValueTest,
                         testing::Values(ValueCase{"CutAtFirstSpace", "1.5U W=3U AS=1P", 1.5e-6},
                                         ValueCase{"LeadingSpaceHidesSuffix", " 1U", 1.0},
                                         ValueCase{"TabDoesNotCut", "2\tW=3U", 2e-6},
                                         ValueCase{"LineEndDoesNotCut", "2\r\n", 2.0},
                                         ValueCase{"LaterParametersSeen", "1\tM=2", 1e-3},
                                         ValueCase{"NulEndsToken", "1\0U"sv, 1.0}),
                         test::RowName());

TEST(FieldValueTest, SpacesDoNotCutAField) {
    EXPECT_DOUBLE_EQ(ParseFieldValue("1 U").value, 1e-6);
    EXPECT_DOUBLE_EQ(ParseNetlistValue("1 U"), 1.0);
}

TEST(FieldValueTest, PresenceAndTruncation) {
    struct Case {
        std::string_view text;
        double value;
        bool present;
    };
    const Case cases[] = {
        {"", 0.0, false},
        {"abc", 0.0, true},
        {"1u", 1e-6, true},
        {"0", 0.0, true},
        // Only the first 19 characters of a field count: the 'u' at position 20 is not seen.
        {"1.00000000000000000u", 1.0, true},
        {"1.0000000000000000u", 1e-6, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.text));
        const FieldValue parsed = ParseFieldValue(c.text);
        EXPECT_DOUBLE_EQ(parsed.value, c.value);
        EXPECT_EQ(parsed.present, c.present);
    }
}

TEST(ShowFieldValueTest, ZeroIsEmptyOtherwisePercentG) {
    EXPECT_EQ(ShowFieldValue(0.0), "");
    EXPECT_EQ(ShowFieldValue(-0.0), "");
    EXPECT_EQ(ShowFieldValue(2.5e-6), "2.5e-06");
    EXPECT_EQ(ShowFieldValue(1e-6), "1e-06");
    EXPECT_EQ(ShowFieldValue(0.00025), "0.00025");
    EXPECT_EQ(ShowFieldValue(1000), "1000");
    EXPECT_EQ(ShowFieldValue(123456789), "1.23457e+08");
}

TEST(ShowFieldValueTest, RoundTripsThroughTheFieldParser) {
    for (double v : {1e-6, 2.5e-6, 0.18e-6, 1e3, 4.5e-7, 1e-15}) {
        SCOPED_TRACE(v);
        const FieldValue back = ParseFieldValue(ShowFieldValue(v));
        EXPECT_NEAR(back.value, v, std::abs(v) * 1e-5);
    }
}

// strtod and printf in the "C" locale are the reference for the locale-free versions.
class CLocaleReferenceTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_NE(std::setlocale(LC_ALL, "C"), nullptr); }
};

TEST_F(CLocaleReferenceTest, LeadingNumberMatchesAtof) {
    const char* inputs[] = {
        "0.5",    "  \t\n\v\f\r42",  "+7",       "-3.25e-2x", ".5",       "5.",      "e5",     "1e",
        "1e+",    "1e-3",            "--1",      "+-1",       "-",        "",        "abc",    "0x1p3",
        "0X.8p1", "0x",              "0xg",      "-0x10",     "0x1.8",    "inf",     "-INF",   "Infinity",
        "infin",  "nan",             "-NaN(12)", "nan(",      "1e400",    "-1e400",  "1e-400", "4.9e-324",
        "2.2250738585072014e-308",   "1" "00000000000000000000000000000000000000000000000000",
        "0.000000000000000000000000000000000000000000001e-300", "1e99999999999999999999", "0x1p99999", "0x2p+-1", "0x2p", "0xinf", "-0xnan", "0x.p1", "0x.8", "0x2p-", "0x1.8P+1",
        "0x1p-99999",                "9" "99999999999999999999e300", ".", "-.5", " +.e1", "{p}", "\n",
    };
    for (const char* input : inputs) {
        SCOPED_TRACE(input);
        char* end = nullptr;
        double expected = std::strtod(input, &end);
        if (end == input) {
            expected = 0.0; // no number: +0 (MinGW's strtod gives -0 for "--1")
        }
        const double actual = ParseLeadingNumber(input);
        EXPECT_EQ(StartsWithNumber(input), end != input);
        if (std::isnan(expected)) {
            EXPECT_TRUE(std::isnan(actual));
        } else {
            EXPECT_EQ(actual, expected);
            EXPECT_EQ(std::signbit(actual), std::signbit(expected));
        }
    }
}

TEST_F(CLocaleReferenceTest, RandomNumbersMatchAtof) {
    std::mt19937_64 random(12345);
    std::uniform_int_distribution<int> exponent(-330, 330);
    std::uniform_real_distribution<double> mantissa(-10.0, 10.0);
    char text[64];
    for (int i = 0; i < 20000; ++i) {
        std::snprintf(text, sizeof text, "%.*ge%d", 1 + i % 17, mantissa(random), exponent(random));
        ASSERT_EQ(ParseLeadingNumber(text), std::atof(text)) << text;
    }
}

// The netlist token read step by step with the C library: atof up to the first NUL, then the
// suffixes of the upper-cased text before the first space.
double LiteralNetlistValue(std::string_view token) {
    const std::string text(token.substr(0, token.find('\0')));
    std::string examined = text.substr(0, text.find(' '));
    for (char& c : examined) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    char* end = nullptr;
    double value = std::strtod(text.c_str(), &end);
    if (end == text.c_str()) {
        value = 0.0; // no number: +0 (MinGW's strtod gives -0 for "--1")
    }
    if (examined.find("MEG") != std::string::npos) {
        return value * 1e6;
    }
    const std::pair<char, double> factors[] = {{'T', 1e12}, {'G', 1e9},  {'K', 1e3},   {'M', 1e-3},
                                               {'U', 1e-6}, {'N', 1e-9}, {'P', 1e-12}, {'F', 1e-15}};
    for (const auto& [letter, factor] : factors) {
        if (examined.find(letter) != std::string::npos) {
            value *= factor;
        }
    }
    return value;
}

// Tokens of up to 20 bytes around the sizes netlists write: runs of up to 18 digits (the fast
// readings stop at 15 and at 16 bytes), points, exponents, suffixes, spaces, NULs and other bytes.
TEST_F(CLocaleReferenceTest, NetlistTokensMatchTheLiteralReading) {
    std::mt19937 random(2024);
    const std::string_view pieces[] = {"0", "1",    "9",  "5",   "12345678", "9876543210", ".",   ".",
                                       "e", "E-",   "u",  "000", "U",        "m",          "meg", "k",
                                       " ", "\0"sv, "\t", "x",   "=",        "\xff",       "-"};
    for (int i = 0; i < 300000; ++i) {
        std::string token;
        for (std::size_t count = random() % 8; count > 0; --count) {
            token += pieces[random() % (std::size(pieces) / (i % 3 == 0 ? 1 : 2))];
        }
        token.resize(std::min<std::size_t>(token.size(), kNetlistTokenLength));
        const double expected = LiteralNetlistValue(token);
        const double actual = ParseNetlistValue(token);
        ASSERT_TRUE(actual == expected || (std::isnan(actual) && std::isnan(expected)))
            << '"' << token << "\" " << actual << " instead of " << expected;
        ASSERT_EQ(std::signbit(actual), std::signbit(expected)) << '"' << token << '"';
        const NetlistValue both = ReadNetlistValue(token);
        ASSERT_TRUE(both.value == actual || (std::isnan(both.value) && std::isnan(actual))) << '"' << token << '"';
        ASSERT_EQ(both.hasNumber, StartsWithNumber(token)) << '"' << token << '"';
    }
}

TEST_F(CLocaleReferenceTest, FormatGMatchesPrintf) {
    std::mt19937_64 random(777);
    std::uniform_int_distribution<int> exponent(-320, 308);
    std::uniform_real_distribution<double> mantissa(-10.0, 10.0);
    const double specials[] = {0.0,
                               -0.0,
                               1.0,
                               0.1,
                               1e-6,
                               2.5e-6,
                               1e-5,
                               0.0001,
                               123456.0,
                               999999.5,
                               1234567.0,
                               1e100,
                               5e-324,
                               -1.5,
                               std::numeric_limits<double>::infinity(),
                               -std::numeric_limits<double>::infinity(),
                               std::numeric_limits<double>::quiet_NaN()};
    char expected[64];
    for (double v : specials) {
        std::snprintf(expected, sizeof expected, "%g", v);
        EXPECT_EQ(FormatG(v), expected);
    }
    for (int i = 0; i < 20000; ++i) {
        const double v = mantissa(random) * std::pow(10.0, exponent(random));
        std::snprintf(expected, sizeof expected, "%g", v);
        ASSERT_EQ(FormatG(v), expected) << v;
    }
}

// Qt sets LC_ALL from the environment; in a comma-decimal locale atof("0.5") is 0 and %g prints
// "2,5e-06". The parsers must not notice.
TEST(LocaleIndependenceTest, CommaDecimalLocaleChangesNothing) {
    const char* locales[] = {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "de_DE"};
    const char* chosen = nullptr;
    for (const char* name : locales) {
        if (std::setlocale(LC_ALL, name)) {
            chosen = name;
            break;
        }
    }
    if (!chosen) {
        GTEST_SKIP() << "no comma-decimal locale is installed (CI generates de_DE.UTF-8)";
    }
    ASSERT_EQ(std::atof("0.5"), 0.0) << "locale " << chosen << " should use a decimal comma";
    EXPECT_DOUBLE_EQ(ParseNetlistValue("0.5u"), 5e-7);
    EXPECT_DOUBLE_EQ(ParseFieldValue("2.5u").value, 2.5e-6);
    EXPECT_EQ(ShowFieldValue(2.5e-6), "2.5e-06");
    EXPECT_EQ(FormatG(0.00025), "0.00025");
    std::setlocale(LC_ALL, "C");
}

} // namespace
} // namespace tarvex
