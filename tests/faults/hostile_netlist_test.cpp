// SPDX-License-Identifier: MIT
// Netlists that are not what a simulator writes: NUL and non-UTF-8 bytes, odd line ends, binary
// garbage, a Key on the very last bytes, one enormous line. Process runs on real files; the backup
// must hold the input byte for byte and the output must change nothing but Keys.
#include "fault_support.h"

#include "describe.h"
#include "process/process.h"
#include "reference.h"
#include "support/param_name.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace tarvex {
namespace {

using namespace std::literals;
using test::ReadFileBytes;
using test::TempDir;
using test::WriteFileBytes;

struct HostileCase {
    std::string name;
    std::string netlist;
    std::string output;  // the expected ".net"
    std::uint64_t lines; // as the run reports them
    std::string problem; // the first device problem, or empty
    RewriteRules rules = test::SmallRules();
};

void PrintTo(const HostileCase& c, std::ostream* os) {
    *os << c.name;
}

RewriteRules Latin1Rules() {
    RewriteRules rules = test::SmallRules();
    rules.keyN = "MOD\xb5N";
    SetPartName(rules.tableN, 0, 0,
                "N\xe9"
                "CH\xff");
    return rules;
}

class HostileNetlistTest : public testing::TestWithParam<HostileCase> {};

TEST_P(HostileNetlistTest, OnlyKeysChangeAndTheBackupIsExact) {
    const HostileCase& c = GetParam();
    const TempDir dir;
    WriteFileBytes(dir / "amp.net", c.netlist);

    const ProcessOutcome outcome = ProcessNetlist(dir / "amp.net", c.rules);

    ASSERT_FALSE(outcome.error) << *outcome.error;
    EXPECT_EQ(ReadFileBytes(dir / "amp.ant"), c.netlist);
    const std::string output = ReadFileBytes(dir / "amp.net");
    EXPECT_EQ(output, c.output);
    EXPECT_EQ(output, fuzz::ReferenceRewrite(c.netlist, c.rules).output);
    EXPECT_EQ(outcome.report.lines, c.lines);
    EXPECT_EQ(outcome.report.firstProblem.value_or(""), c.problem);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, HostileNetlistTest,
    testing::Values(
        // A NUL ends the value that follows "W=" (no number is left: the device keeps its Key) but
        // nothing else.
        HostileCase{"NulBytes",
                    "M1 d g s b MODxyN L=1U W=2U\0 junk\n\0\0MODxyP\0 L=1U W=2U\nX1 \0MODxyN W=\0 3U L=1U\n"s,
                    "M1 d g s b NCH L=1U W=2U\0 junk\n\0\0PCH\0 L=1U W=2U\nX1 \0MODxyN W=\0 3U L=1U\n"s, 3,
                    "Error: MODxyN device has no readable W=!"},
        // A lone CR ends a line: M2 has no "L=" of its own and must not take the next line's.
        HostileCase{"CarriageReturnOnlyLineEnds", "M1 MODxyN L=1U W=2U\rM2 MODxyP W=2U\rL=1U\r",
                    "M1 NCH L=1U W=2U\rM2 MODxyP W=2U\rL=1U\r", 3,
                    "Error: MODxyP device has no readable L=!"},
        HostileCase{"MixedLineEnds", "M1 MODxyN L=1U W=2U\r\r\nM2 MODxyP L=1U W=2U\n\r",
                    "M1 NCH L=1U W=2U\r\r\nM2 PCH L=1U W=2U\n\r", 4, ""},
        HostileCase{"NonUtf8Bytes", "* \xff\xfe\xc3\x28 MODxyN\nM1 \xe9\xe8 MODxyP L=1U W=2U \x80\n",
                    "* \xff\xfe\xc3\x28 MODxyN\nM1 \xe9\xe8 PCH L=1U W=2U \x80\n", 2,
                    "Error: MODxyN device has no readable L= or W=!"},
        HostileCase{"Latin1KeyAndPartName", "M1 MOD\xb5N L=1U W=2U\n",
                    "M1 N\xe9"
                    "CH\xff L=1U W=2U\n",
                    1, "", Latin1Rules()},
        HostileCase{"KeyOnTheLastBytesWithoutLineEnd", "* end\nM9 L=1U W=2U MODxyP",
                    "* end\nM9 L=1U W=2U PCH", 2, ""},
        HostileCase{"OnlyAKey", "MODxyN", "MODxyN", 1, "Error: MODxyN device has no readable L= or W=!"}),
    test::RowName());

TEST(HostileNetlistTest, BinaryGarbageChangesOnlyAtKeys) {
    std::mt19937 random(2024);
    std::string netlist(1 << 20, '\0');
    for (char& c : netlist) {
        c = static_cast<char>(random());
    }
    // Devices scattered through the garbage, some split from their sizes by a random line end.
    for (std::size_t at = 100; at + 64 < netlist.size(); at += 3000 + random() % 3000) {
        const std::string_view device = (at / 3000) % 2 ? " MODxyN L=1U W=2U " : " MODxyP W=2U L=1U ";
        netlist.replace(at, device.size(), device);
    }
    const TempDir dir;
    WriteFileBytes(dir / "amp.net", netlist);

    const ProcessOutcome outcome = ProcessNetlist(dir / "amp.net", test::SmallRules());

    ASSERT_FALSE(outcome.error) << *outcome.error;
    EXPECT_TRUE(ReadFileBytes(dir / "amp.ant") == netlist);
    const std::string output = ReadFileBytes(dir / "amp.net");
    const fuzz::ReferenceRun expected = fuzz::ReferenceRewrite(netlist, test::SmallRules());
    EXPECT_TRUE(output == expected.output)
        << "first difference at byte " << fuzz::FirstDifference(output, expected.output);
    EXPECT_EQ(outcome.report.lines, expected.lines);
    EXPECT_EQ(fuzz::SplitLines(output).size(), expected.lines);
    EXPECT_GT(outcome.report.devicesReplaced, 100u);
}

TEST(HostileNetlistTest, HundredMegabyteSingleLineIsRewrittenWhole) {
    constexpr std::size_t kFill = 100u << 20;
    std::string netlist = "M1 d g s b MODxyN ";
    netlist.reserve(kFill + 64);
    while (netlist.size() < kFill) {
        netlist += "abcdefghijklmnopqrstuvwxyz";
    }
    // The sizes and the P Key come only after 100 MiB.
    netlist += " L=1U W=2U MODxyP\n";
    const TempDir dir;
    WriteFileBytes(dir / "amp.net", netlist);

    const ProcessOutcome outcome = ProcessNetlist(dir / "amp.net", test::SmallRules());

    ASSERT_FALSE(outcome.error) << *outcome.error;
    EXPECT_EQ(outcome.report.lines, 1u);
    EXPECT_EQ(outcome.report.devicesReplaced, 2u);
    std::string expected = netlist;
    expected.replace(expected.size() - 7, 6, "PCH");
    expected.replace(11, 6, "NCH");
    const std::string output = ReadFileBytes(dir / "amp.net");
    EXPECT_TRUE(output == expected) << "first difference at byte " << fuzz::FirstDifference(output, expected)
                                    << " of " << output.size();
    EXPECT_TRUE(ReadFileBytes(dir / "amp.ant") == netlist);
}

} // namespace
} // namespace tarvex
