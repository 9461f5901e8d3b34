// SPDX-License-Identifier: MIT
#include "netlist/netlist_rewrite.h"

#include "support/literal_rewrite.h"
#include "support/temp_dir.h"

#include "support/param_name.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>
#include <vector>

namespace tarvex {
namespace {

using namespace std::literals;

RewriteRules MakeRules() {
    RewriteRules rules;
    rules.tableN.widthBounds = {1e-6, 5e-6, 0, 0, 0, 0};
    rules.tableN.lengthBounds = {5e-7, 2e-6, 0, 0, 0, 0};
    SetPartName(rules.tableN, 0, 0, "NCH_S");
    rules.tableP.widthBounds = {1e-6, 5e-6, 0, 0, 0, 0};
    rules.tableP.lengthBounds = {5e-7, 2e-6, 0, 0, 0, 0};
    SetPartName(rules.tableP, 0, 0, "PCH_LONGER_NAME");
    return rules;
}

struct StreamRun {
    std::string output;
    StreamResult result;
    std::vector<std::pair<std::uint64_t, DeviceOutcome>> devices;
};

StreamRun RunStream(std::string_view input, const RewriteRules& rules, std::size_t chunk = SIZE_MAX) {
    StreamRun run;
    MemoryReader reader(input, chunk);
    StringWriter writer(run.output);
    StreamOptions options;
    options.onDevice = [&](std::uint64_t line, const DeviceEvent& e) {
        run.devices.emplace_back(line, e.outcome);
    };
    run.result = RewriteStream(reader, writer, rules, options);
    return run;
}

// The reference: split into lines by hand and rewrite each one the literal way.
std::string RewriteLineByLine(std::string_view input, const RewriteRules& rules) {
    std::string out;
    std::size_t pos = 0;
    while (pos < input.size()) {
        std::size_t end = input.find_first_of("\r\n", pos);
        end = end == std::string_view::npos                                              ? input.size()
              : (input[end] == '\r' && end + 1 < input.size() && input[end + 1] == '\n') ? end + 2
                                                                                         : end + 1;
        out += test::LiteralRewriteLine(std::string(input.substr(pos, end - pos)), rules);
        pos = end;
    }
    return out;
}

TEST(RewriteStreamTest, GoldenNetlist) {
    const std::filesystem::path dir = std::filesystem::path(TARVEX_TEST_DATA_DIR) / "rewrite_basic";
    const std::string input = test::ReadFileBytes(dir / "input.net");
    const StreamRun run = RunStream(input, MakeRules());
    EXPECT_EQ(run.output, test::ReadFileBytes(dir / "expected.net"));
    EXPECT_EQ(run.result.status, StreamStatus::Completed);
}

struct BytesCase {
    const char* name;
    std::string_view in;
    std::string_view out;
    std::uint64_t lines;
};

void PrintTo(const BytesCase& c, std::ostream* os) {
    *os << c.name;
}

class ByteExactnessTest : public testing::TestWithParam<BytesCase> {};

TEST_P(ByteExactnessTest, OnlyKeysChange) {
    const BytesCase& c = GetParam();
    // Every chunk size, down to one byte per read, must give the same output.
    for (std::size_t chunk : {std::size_t{1}, std::size_t{2}, std::size_t{3}, std::size_t{7}, SIZE_MAX}) {
        SCOPED_TRACE(chunk);
        const StreamRun run = RunStream(c.in, MakeRules(), chunk);
        EXPECT_EQ(run.output, c.out);
        EXPECT_EQ(run.result.report.lines, c.lines);
        EXPECT_EQ(run.result.report.bytesRead, c.in.size());
        EXPECT_EQ(run.result.report.bytesWritten, c.out.size());
    }
}

INSTANTIATE_TEST_SUITE_P(
    LineEnds, ByteExactnessTest,
    testing::Values(BytesCase{"Empty", "", "", 0},
                    BytesCase{"Crlf", "* c\r\nM1 MODxyN L=1u W=2u\r\nR1 1 2 1k\r\n",
                              "* c\r\nM1 NCH_S L=1u W=2u\r\nR1 1 2 1k\r\n", 3},
                    BytesCase{"NoFinalLineEnd", "R1\nM1 MODxyN L=1u W=2u", "R1\nM1 NCH_S L=1u W=2u", 2},
                    BytesCase{"LoneCrEndsLines",
                              "M1 MODxyN L=1u W=2u\rM2 MODxyN L=1u W=9u\rM3 MODxyP L=1u W=2u\r",
                              "M1 NCH_S L=1u W=2u\rM2 MODxyN L=1u W=9u\rM3 PCH_LONGER_NAME L=1u W=2u\r", 3},
                    BytesCase{"MixedEndsAndBlankLines", "\n\r\n\r\rMODxyN\n", "\n\r\n\r\rMODxyN\n", 5},
                    BytesCase{"KeyAtTheVeryEnd", "x\nMODxyP", "x\nMODxyP", 2},
                    BytesCase{"NulAndHighBytes", "\0\xfe\n\xe4 MODxyN L=1u W=2u\0\n"sv,
                              "\0\xfe\n\xe4 NCH_S L=1u W=2u\0\n"sv, 2}),
    test::RowName());

TEST(RewriteStreamTest, ReportsEveryDeviceWithItsLineAndTheFirstProblem) {
    const std::string input = "* title\n"
                              "M1 MODxyN L=1u W=2u\n"
                              "M2 MODxyN L=1u W=9u\n"
                              "M3 MODxyP L=3u W=2u\n"
                              "M4 MODxyP MODxyN L=1u W=2u\n";
    const StreamRun run = RunStream(input, MakeRules());
    const std::vector<std::pair<std::uint64_t, DeviceOutcome>> expected = {
        {2, DeviceOutcome::Replaced}, {3, DeviceOutcome::NoBin},    {4, DeviceOutcome::NoBin},
        {5, DeviceOutcome::Replaced}, {5, DeviceOutcome::Replaced},
    };
    EXPECT_EQ(run.devices, expected);
    const RunReport& report = run.result.report;
    EXPECT_EQ(report.lines, 5u);
    EXPECT_EQ(report.devicesReplaced, 3u);
    EXPECT_EQ(report.devicesNoBin, 2u);
    EXPECT_EQ(report.devicesKept(), 2u);
    EXPECT_EQ(report.firstProblem, "Error: No MODxyN bin for L=1e-06 W=9e-06!");
}

TEST(RewriteStreamTest, OneMegabyteSingleLine) {
    std::string input(1 << 20, 'a');
    input += " MODxyN L=1u W=2u";
    const StreamRun run = RunStream(input, MakeRules(), 4096);
    std::string expected(1 << 20, 'a');
    expected += " NCH_S L=1u W=2u";
    EXPECT_EQ(run.output, expected);
    EXPECT_EQ(run.result.report.lines, 1u);
}

TEST(RewriteStreamTest, MatchesLineByLineOnRandomInput) {
    std::mt19937 random(4242);
    const char* pieces[] = {"MODxyN", "MODxyP", "MOD", "xyN", " L=",  " W=", "1u",
                            "3u",     "0.6u",   "9u",  "\n",  "\r\n", "\r",  " ",
                            "\t",     "M",      "\0",  "k",   "meg",  "=",   "R1 1 2 1k"};
    const RewriteRules rules = MakeRules();
    for (int round = 0; round < 300; ++round) {
        std::string input;
        const int count = static_cast<int>(random() % 200);
        for (int i = 0; i < count; ++i) {
            const char* piece = pieces[random() % std::size(pieces)];
            input += (piece[0] == '\0') ? std::string(1, '\0') : std::string(piece);
        }
        const std::string expected = RewriteLineByLine(input, rules);
        ASSERT_EQ(RunStream(input, rules).output, expected) << "round " << round;
        ASSERT_EQ(RunStream(input, rules, 1 + random() % 16).output, expected) << "round " << round;
    }
}

// A device line held in the output buffer must come out before a long run of lines without a Key
// that follows it (long runs are written straight through, not buffered).
TEST(RewriteStreamTest, DeviceLineStaysBeforeALongRunWithoutKeys) {
    std::string input = "M1 MODxyN L=1u W=2u\n";
    while (input.size() < 600 * 1024) {
        input += "X1 a b c cell_without_a_key\n";
    }
    input += "M2 MODxyP L=1u W=2u\n";
    const std::string expected = RewriteLineByLine(input, MakeRules());
    const std::string output = RunStream(input, MakeRules()).output;
    EXPECT_TRUE(output == expected) << "output begins \"" << output.substr(0, 40) << "\"";
}

class FailingWriter final : public ByteWriter {
public:
    bool write(std::string_view) override { return false; }
};

class FailingReader final : public ByteReader {
public:
    std::optional<std::size_t> read(std::span<char>) override { return std::nullopt; }
};

TEST(RewriteStreamTest, ReadAndWriteErrorsAreReported) {
    std::string sink;
    StringWriter writer(sink);
    FailingReader badReader;
    EXPECT_EQ(RewriteStream(badReader, writer, MakeRules()).status, StreamStatus::ReadFailed);

    MemoryReader reader("M1 MODxyN L=1u W=2u\n");
    FailingWriter badWriter;
    EXPECT_EQ(RewriteStream(reader, badWriter, MakeRules()).status, StreamStatus::WriteFailed);
}

TEST(RewriteStreamTest, ProgressCanCancel) {
    const std::string input(3 << 20, '\n');
    std::string sink;
    MemoryReader reader(input);
    StringWriter writer(sink);
    StreamOptions options;
    int calls = 0;
    options.onProgress = [&](std::uint64_t) { return ++calls < 2; };
    EXPECT_EQ(RewriteStream(reader, writer, MakeRules(), options).status, StreamStatus::Cancelled);
    EXPECT_EQ(calls, 2);
}

} // namespace
} // namespace tarvex
