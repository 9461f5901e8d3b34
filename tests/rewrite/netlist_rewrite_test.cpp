// SPDX-License-Identifier: MIT
#include "rewrite/netlist_rewrite.h"

#include "reference.h"
#include "support/temp_dir.h"

#include "support/param_name.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <span>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
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
        const std::string expected = fuzz::ReferenceRewrite(input, rules).output;
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
    const std::string expected = fuzz::ReferenceRewrite(input, MakeRules()).output;
    const std::string output = RunStream(input, MakeRules()).output;
    EXPECT_TRUE(output == expected) << "output begins \"" << output.substr(0, 40) << "\"";
}

class FailingWriter final : public ByteWriter {
public:
    std::error_code write(std::string_view) override { return std::make_error_code(std::errc::io_error); }
};

class FailingReader final : public ByteReader {
public:
    ReadResult read(std::span<char>) override { return {0, std::make_error_code(std::errc::io_error)}; }
};

TEST(RewriteStreamTest, ReadAndWriteErrorsAreReported) {
    std::string sink;
    StringWriter writer(sink);
    FailingReader badReader;
    const StreamResult readFailed = RewriteStream(badReader, writer, MakeRules());
    EXPECT_EQ(readFailed.status, StreamStatus::ReadFailed);
    EXPECT_EQ(readFailed.error, std::errc::io_error);

    MemoryReader reader("M1 MODxyN L=1u W=2u\n");
    FailingWriter badWriter;
    const StreamResult writeFailed = RewriteStream(reader, badWriter, MakeRules());
    EXPECT_EQ(writeFailed.status, StreamStatus::WriteFailed);
    EXPECT_EQ(writeFailed.error, std::errc::io_error);
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

// Everything a caller can observe of one run.
struct Observed {
    std::string output;
    StreamResult result;
    std::vector<std::string> devices; // line, polarity, outcome, sizes, bins, part name
    std::vector<std::string> kept;    // those of devices that keep their Key
    std::vector<std::uint64_t> progress;
};

// A device as the tests compare it: line, family, polarity, outcome, sizes, bins, part name.
std::string DeviceText(std::uint64_t line, const DeviceEvent& e) {
    std::ostringstream text;
    text << line << ' ' << e.family << static_cast<int>(e.polarity) << static_cast<int>(e.outcome) << ' '
         << e.length << ' ' << e.width << ' ' << e.hasLength << e.hasWidth << ' ' << e.widthBin.value_or(-1)
         << e.lengthBin.value_or(-1) << ' ' << e.partName;
    return text.str();
}

Observed ObserveReader(ByteReader& reader, std::span<const RewriteRules> families, unsigned threads,
                       StreamTuning tuning, bool keptOnly = false) {
    Observed run;
    StringWriter writer(run.output);
    StreamOptions options;
    options.threads = threads;
    options.tuning = tuning;
    options.keptOnly = keptOnly;
    options.onDevice = [&](std::uint64_t line, const DeviceEvent& e) {
        run.devices.push_back(DeviceText(line, e));
        if (e.outcome != DeviceOutcome::Replaced) {
            run.kept.push_back(DeviceText(line, e));
        }
    };
    options.onProgress = [&](std::uint64_t bytesRead) {
        run.progress.push_back(bytesRead);
        return true;
    };
    run.result = RewriteStream(reader, writer, families, options);
    return run;
}

Observed ObserveReader(ByteReader& reader, const RewriteRules& rules, unsigned threads, StreamTuning tuning,
                       bool keptOnly = false) {
    return ObserveReader(reader, std::span(&rules, 1), threads, tuning, keptOnly);
}

Observed Observe(std::string_view input, std::span<const RewriteRules> families, unsigned threads,
                 StreamTuning tuning, std::size_t readSize, bool keptOnly = false) {
    MemoryReader reader(input, readSize);
    return ObserveReader(reader, families, threads, tuning, keptOnly);
}

Observed Observe(std::string_view input, const RewriteRules& rules, unsigned threads, StreamTuning tuning,
                 std::size_t readSize, bool keptOnly = false) {
    return Observe(input, std::span(&rules, 1), threads, tuning, readSize, keptOnly);
}

// Random netlists cut into chunks of a few bytes, so that chunk edges fall inside "\r\n" pairs,
// Keys and "L=" tokens and lines are longer than chunks: the threads give the same bytes, report,
// devices and final progress as the calling thread alone, and both match the line-by-line rewrite.
TEST(RewriteStreamTest, ThreadsGiveTheSameRunAsOneThread) {
    std::mt19937 random(1414);
    const char* pieces[] = {"MODxyN", "MODxyP", "MOD", "xyP", " L=", " W=", "1u", "3u", "0.6u", "9u",
                            "\n",     "\r\n",   "\r",  " ",   "\t",  "M",   "k",  "=",  "L",    "R1 1 2 1k"};
    RewriteRules rules = MakeRules();
    SetPartName(rules.tableN, 1, 0, ""); // W=9u lands in an empty cell
    for (int round = 0; round < 300; ++round) {
        std::string input;
        const int count = static_cast<int>(random() % 400);
        for (int i = 0; i < count; ++i) {
            input += pieces[random() % std::size(pieces)];
        }
        const StreamTuning small{1 + random() % 40, 0};
        const Observed alone = Observe(input, rules, 1, small, 1 + random() % 64);
        ASSERT_EQ(alone.output, fuzz::ReferenceRewrite(input, rules).output) << "round " << round;
        for (const unsigned threads : {2u, 3u, 5u}) {
            SCOPED_TRACE("round " + std::to_string(round) + ", " + std::to_string(threads) + " threads");
            const StreamTuning tuning{1 + random() % 40, 2 + random() % 4};
            const Observed run = Observe(input, rules, threads, tuning, 1 + random() % 64);
            ASSERT_EQ(run.result.status, StreamStatus::Completed);
            ASSERT_EQ(run.output, alone.output);
            EXPECT_EQ(run.devices, alone.devices);
            EXPECT_EQ(run.result.report.lines, alone.result.report.lines);
            EXPECT_EQ(run.result.report.bytesRead, input.size());
            EXPECT_EQ(run.result.report.bytesWritten, alone.output.size());
            EXPECT_EQ(run.result.report.devicesReplaced, alone.result.report.devicesReplaced);
            EXPECT_EQ(run.result.report.devicesMissingName, alone.result.report.devicesMissingName);
            EXPECT_EQ(run.result.report.devicesNoBin, alone.result.report.devicesNoBin);
            EXPECT_EQ(run.result.report.firstProblem, alone.result.report.firstProblem);
            EXPECT_TRUE(std::is_sorted(run.progress.begin(), run.progress.end()));
            EXPECT_EQ(run.progress.empty() ? 0 : run.progress.back(), input.size());
        }
        // Asked only for the devices that keep their Key, a run numbers them as a full one does.
        const Observed keptOnly = Observe(input, rules, static_cast<unsigned>(1 + random() % 3),
                                          StreamTuning{1 + random() % 40, 2}, 1 + random() % 64, true);
        ASSERT_EQ(keptOnly.output, alone.output) << "round " << round;
        EXPECT_EQ(keptOnly.devices, alone.kept) << "round " << round;
        EXPECT_EQ(keptOnly.result.report.lines, alone.result.report.lines) << "round " << round;
        EXPECT_EQ(keptOnly.result.report.firstProblem, alone.result.report.firstProblem) << "round " << round;
        // Without a device callback the usual device lines take a shorter path to the same run.
        std::string quiet;
        MemoryReader quietReader(input, 1 + random() % 64);
        StringWriter quietWriter(quiet);
        StreamOptions plain;
        plain.threads = static_cast<unsigned>(1 + random() % 3);
        plain.tuning = StreamTuning{1 + random() % 40, 2};
        const RunReport report = RewriteStream(quietReader, quietWriter, rules, plain).report;
        ASSERT_EQ(quiet, alone.output) << "round " << round;
        EXPECT_EQ(report.lines, alone.result.report.lines) << "round " << round;
        EXPECT_EQ(report.devicesReplaced, alone.result.report.devicesReplaced) << "round " << round;
        EXPECT_EQ(report.firstProblem, alone.result.report.firstProblem) << "round " << round;
    }
}

// Three families: the core Keys of MakeRules, whose N name holds the third family's P Key; HVxyN
// and HVxyP, whose N name holds the core P Key (which comes too late to be replaced); and LVN and
// LVP, whose P cell has no name.
std::vector<RewriteRules> ThreeFamilies() {
    std::vector<RewriteRules> families{MakeRules(), MakeRules(), MakeRules()};
    SetPartName(families[0].tableN, 0, 0, "C_LVP");
    families[1].keyN = "HVxyN";
    families[1].keyP = "HVxyP";
    SetPartName(families[1].tableN, 0, 0, "HVN_MODxyP");
    SetPartName(families[1].tableP, 0, 0, "HVP");
    families[2].keyN = "LVN";
    families[2].keyP = "LVP";
    SetPartName(families[2].tableN, 0, 0, "LV_N");
    SetPartName(families[2].tableP, 0, 0, "");
    return families;
}

// Random netlists with the Keys of two and three families, cut into chunks of a few bytes, on one
// thread and on several: the bytes of the literal rewrite, and every device reported as the line
// rewrite of its line gives it (family, order within the line, line number), with the counts and
// the first problem that go with them.
TEST(RewriteStreamTest, SeveralFamiliesMatchTheLiteralRewrite) {
    std::mt19937 random(3131);
    const char* pieces[] = {"MODxyN", "MODxyP", "HVxyN", "HVxyP", "LVN", "LVP",      "MOD",
                            "xyP",    "LV",     " L=",   " W=",   "1u",  "3u",       "9u",
                            "\n",     "\r\n",   "\r",    " ",     "M",   "R1 1 2 1k"};
    const std::vector<RewriteRules> all = ThreeFamilies();
    for (int round = 0; round < 300; ++round) {
        std::string input;
        for (int i = static_cast<int>(random() % 300); i > 0; --i) {
            input += pieces[random() % std::size(pieces)];
        }
        const std::span<const RewriteRules> families(all.data(), 2 + round % 2);
        std::vector<std::string> devices;
        RunReport expected;
        std::uint64_t line = 0;
        for (const std::string_view text : fuzz::SplitLines(input)) {
            std::string ignored;
            ++line;
            for (const DeviceEvent& event : RewriteLine(text, families, ignored)) {
                devices.push_back(DeviceText(line, event));
                ++(event.outcome == DeviceOutcome::Replaced      ? expected.devicesReplaced
                   : event.outcome == DeviceOutcome::MissingName ? expected.devicesMissingName
                                                                 : expected.devicesNoBin);
                if (!expected.firstProblem) {
                    expected.firstProblem = ProblemMessage(event);
                }
            }
        }
        const std::string output = fuzz::ReferenceRewrite(input, families).output;
        for (const unsigned threads : {1u, 2u, 3u}) {
            SCOPED_TRACE("round " + std::to_string(round) + ", " + std::to_string(families.size()) +
                         " families, " + std::to_string(threads) + " threads");
            const StreamTuning tuning{1 + random() % 40, 2 + random() % 3};
            const Observed run = Observe(input, families, threads, tuning, 1 + random() % 64);
            ASSERT_EQ(run.result.status, StreamStatus::Completed);
            ASSERT_EQ(run.output, output);
            EXPECT_EQ(run.devices, devices);
            EXPECT_EQ(run.result.report.lines, line);
            EXPECT_EQ(run.result.report.devicesReplaced, expected.devicesReplaced);
            EXPECT_EQ(run.result.report.devicesMissingName, expected.devicesMissingName);
            EXPECT_EQ(run.result.report.devicesNoBin, expected.devicesNoBin);
            EXPECT_EQ(run.result.report.firstProblem, expected.firstProblem);
            EXPECT_EQ(run.result.report.bytesWritten, output.size());
            // Asked only for the devices that keep their Key, the run numbers them as a full one.
            const Observed keptOnly = Observe(input, families, threads, tuning, 1 + random() % 64, true);
            EXPECT_EQ(keptOnly.output, output);
            EXPECT_EQ(keptOnly.devices, run.kept);
        }
    }
}

// Starts each task on a thread of its own, counting them.
class CountingRunner final : public TaskRunner {
public:
    ~CountingRunner() override {
        for (std::thread& thread : m_threads) {
            thread.join();
        }
    }
    void start(std::function<void()> task) override { m_threads.emplace_back(std::move(task)); }
    std::size_t started() const { return m_threads.size(); }

private:
    std::vector<std::thread> m_threads;
};

// An input that fits in one chunk is rewritten on the calling thread alone; a longer one starts the
// rewriting threads asked for, no more than there are chunks in flight (here 3).
TEST(RewriteStreamTest, AnInputOfOneChunkStartsNoThread) {
    for (const std::size_t size : {std::size_t{999}, std::size_t{5000}}) {
        SCOPED_TRACE(size);
        std::string input;
        while (input.size() < size) {
            input += "M1 a b c d MODxyN L=1u W=2u\n";
        }
        input.resize(size);
        CountingRunner runner;
        StreamOptions options;
        options.threads = 4;
        options.tuning = {1000, 3, &runner};
        std::string output;
        MemoryReader reader(input);
        StringWriter writer(output);
        EXPECT_EQ(RewriteStream(reader, writer, MakeRules(), options).status, StreamStatus::Completed);
        EXPECT_EQ(output, fuzz::ReferenceRewrite(input, MakeRules()).output);
        EXPECT_EQ(runner.started(), size < 1000 ? 0u : 3u);
    }
}

// Counts what a run reads, to see that a stopped run stopped reading too.
class CountingReader final : public ByteReader {
public:
    explicit CountingReader(std::string_view data) : m_inner(data, 100) {}
    ReadResult read(std::span<char> buffer) override {
        const ReadResult read = m_inner.read(buffer);
        m_total += read.size;
        return read;
    }
    std::size_t total() const { return m_total; }

private:
    MemoryReader m_inner;
    std::size_t m_total = 0;
};

// Takes a number of bytes, then fails every write (and counts the writes tried after that).
class FullDiskWriter final : public ByteWriter {
public:
    explicit FullDiskWriter(std::size_t room) : m_room(room) {}
    std::error_code write(std::string_view bytes) override {
        if (bytes.size() > m_room) {
            ++m_failed;
            m_room = 0;
            return std::make_error_code(std::errc::no_space_on_device);
        }
        m_room -= bytes.size();
        return {};
    }
    int failedWrites() const { return m_failed; }

private:
    std::size_t m_room;
    int m_failed = 0;
};

std::string ManyDevices(std::size_t bytes) {
    std::string input;
    for (int i = 0; input.size() < bytes; ++i) {
        input += i % 3 == 0 ? "R1 a b 1k\r\n" : "M1 a b c d MODxyN L=1u W=2u\n";
    }
    return input;
}

constexpr StreamTuning kSmallChunks{1000, 4};

// A write that fails stops the run at once: no further write is tried, no device after it is
// reported, and the reader stops within the chunks in flight instead of reading the whole input.
TEST(RewriteStreamTest, WriteFailureStopsAParallelRun) {
    const std::string input = ManyDevices(1 << 20);
    CountingReader reader(input);
    FullDiskWriter writer(50000);
    StreamOptions options;
    options.threads = 3;
    options.tuning = kSmallChunks;
    std::uint64_t lastLine = 0;
    options.onDevice = [&](std::uint64_t line, const DeviceEvent&) { lastLine = line; };
    const StreamResult result = RewriteStream(reader, writer, MakeRules(), options);
    EXPECT_EQ(result.error, std::errc::no_space_on_device);
    EXPECT_EQ(result.status, StreamStatus::WriteFailed);
    EXPECT_EQ(writer.failedWrites(), 1);
    EXPECT_LT(lastLine, 50000u / 11);
    EXPECT_LT(reader.total(), 50000u + 10 * kSmallChunks.chunkSize);
}

// Cancel from the progress callback, which runs on the calling thread after each chunk written.
TEST(RewriteStreamTest, CancelStopsAParallelRun) {
    const std::string input = ManyDevices(1 << 20);
    CountingReader reader(input);
    std::string output;
    StringWriter writer(output);
    StreamOptions options;
    options.threads = 3;
    options.tuning = kSmallChunks;
    const std::thread::id caller = std::this_thread::get_id();
    bool onCaller = true;
    int calls = 0;
    std::uint64_t devicesAfterCancel = 0;
    options.onDevice = [&](std::uint64_t, const DeviceEvent&) {
        onCaller = onCaller && std::this_thread::get_id() == caller;
        devicesAfterCancel += calls >= 5;
    };
    options.onProgress = [&](std::uint64_t) {
        onCaller = onCaller && std::this_thread::get_id() == caller;
        return ++calls < 5;
    };
    const StreamResult result = RewriteStream(reader, writer, MakeRules(), options);
    EXPECT_EQ(result.status, StreamStatus::Cancelled);
    EXPECT_EQ(calls, 5);
    EXPECT_EQ(devicesAfterCancel, 0u);
    EXPECT_TRUE(onCaller);
    EXPECT_LT(output.size(), 6 * kSmallChunks.chunkSize);
    EXPECT_LT(reader.total(), 10 * kSmallChunks.chunkSize);
}

// Delivers some lines, then fails with an error of its own.
class BrokenDiskReader final : public ByteReader {
public:
    explicit BrokenDiskReader(std::string_view data) : m_inner(data, 100) {}
    ReadResult read(std::span<char> buffer) override {
        if (m_left < 100) {
            return {0, std::make_error_code(std::errc::io_error)};
        }
        m_left -= 100;
        return m_inner.read(buffer);
    }

private:
    MemoryReader m_inner;
    std::size_t m_left = 20000;
};

// The reader thread's error reaches the caller, whose message names the reason.
TEST(RewriteStreamTest, ReadErrorInAParallelRunKeepsItsError) {
    const std::string input = ManyDevices(1 << 20);
    BrokenDiskReader reader(input);
    std::string output;
    StringWriter writer(output);
    StreamOptions options;
    options.threads = 2;
    options.tuning = kSmallChunks;
    const StreamResult result = RewriteStream(reader, writer, MakeRules(), options);
    EXPECT_EQ(result.status, StreamStatus::ReadFailed);
    EXPECT_EQ(result.error, std::errc::io_error);
}

class ThrowingReader final : public ByteReader {
public:
    explicit ThrowingReader(std::string_view data) : m_inner(data, 100) {}
    ReadResult read(std::span<char> buffer) override {
        if (++m_reads > 50) {
            throw std::runtime_error("reader gave up");
        }
        return m_inner.read(buffer);
    }

private:
    MemoryReader m_inner;
    int m_reads = 0;
};

// An exception from a callback or from the reader thread reaches the caller after every thread
// has stopped (a thread left running would end the process).
TEST(RewriteStreamTest, ExceptionsOfAParallelRunReachTheCaller) {
    const std::string input = ManyDevices(1 << 20);
    std::string output;
    StreamOptions options;
    options.threads = 2;
    options.tuning = kSmallChunks;
    {
        MemoryReader reader(input, 100);
        StringWriter writer(output);
        StreamOptions throwing = options;
        throwing.onDevice = [](std::uint64_t line, const DeviceEvent&) {
            if (line >= 500) {
                throw std::runtime_error("report full");
            }
        };
        EXPECT_THROW(RewriteStream(reader, writer, MakeRules(), throwing), std::runtime_error);
    }
    ThrowingReader reader(input);
    StringWriter writer(output);
    EXPECT_THROW(RewriteStream(reader, writer, MakeRules(), options), std::runtime_error);
}

// A regular file is read in chunks as any input is: the same run as from memory, from wherever the
// file's position stands, whatever the chunks and threads.
TEST(RewriteStreamTest, FileGivesTheSameRunAsMemory) {
    const test::TempDir dir;
    std::mt19937 random(77);
    const char* pieces[] = {"MODxyN", "MODxyP", " L=", " W=", "1u",       "3u",
                            "\n",     "\r\n",   "\r",  " ",   "R1 1 2 1k"};
    for (int round = 0; round < 40; ++round) {
        std::string input;
        for (int i = static_cast<int>(random() % 3000); i > 0; --i) {
            input += pieces[random() % std::size(pieces)];
        }
        const std::size_t skip = round % 4 == 0 ? random() % (input.size() + 1) : 0;
        test::WriteFileBytes(dir / "in.net", input);
        const FilePtr file = OpenFile(dir / "in.net", "r");
        ASSERT_EQ(std::fseek(file.get(), static_cast<long>(skip), SEEK_SET), 0);
        const std::string_view rest = std::string_view(input).substr(skip);
        const unsigned threads = 1 + round % 3;
        const StreamTuning tuning{1 + random() % 200, 2 + random() % 3};
        const Observed read = Observe(rest, MakeRules(), threads, tuning, 1 + random() % 64);
        FileReader reader(file.get());
        const Observed fromFile = ObserveReader(reader, MakeRules(), threads, tuning);
        SCOPED_TRACE("round " + std::to_string(round));
        ASSERT_EQ(fromFile.result.status, StreamStatus::Completed);
        EXPECT_EQ(fromFile.output, read.output);
        EXPECT_EQ(fromFile.devices, read.devices);
        EXPECT_EQ(fromFile.result.report.lines, read.result.report.lines);
        EXPECT_EQ(fromFile.result.report.bytesRead, rest.size());
        EXPECT_EQ(fromFile.progress.empty() ? 0 : fromFile.progress.back(), rest.size());
    }
}

} // namespace
} // namespace tarvex
