// SPDX-License-Identifier: MIT
// Tarvex raced against itself and the netlister: two runs on one netlist, a new export renamed onto
// the netlist during a run, the backup written over in place while it is binned. Nothing the user
// wrote is lost, and no output mixes two versions.
#include "careless_support.h"
#include "cli_support.h"
#include "fault_support.h"

#include "process/process.h"
#include "support/process_memory.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <random>
#include <set>
#include <string>
#include <thread>

namespace tarvex {
namespace {

using namespace careless;
using test::TempDir;
using test::WriteFileBytes;

// Races, each run for a bounded time with the moment of the other party drawn at random.
class CarelessRaceTest : public testing::Test {
protected:
    static constexpr auto kBudget = std::chrono::seconds(8);
    static constexpr int kMaxRounds = 60;

    // A netlist large enough that a run takes a few milliseconds, and what Process makes of it.
    // The versions differ on every line, at the same size, so that a mix of two shows.
    static std::string Netlist(char width) {
        const std::string lines =
            std::string("M1 d g s b MODxyN L=1U W=") + width + "U\nM2 d g s b MODxyP L=1U W=2U\n";
        std::string netlist = "* amp\n";
        while (netlist.size() < (std::size_t{2} << 20)) {
            netlist += lines;
        }
        return netlist;
    }

    static std::string Binned(std::string_view netlist) {
        std::string binned;
        for (std::size_t at = 0; at < netlist.size();) {
            const std::size_t key = netlist.find("MODxy", at);
            const std::size_t end = std::min(key, netlist.size());
            binned.append(netlist.substr(at, end - at));
            if (key == std::string_view::npos) {
                break;
            }
            binned += netlist[key + 5] == 'N' ? "NCH" : "PCH";
            at = key + 6;
        }
        return binned;
    }

    bool moreRounds(int round) const {
        return round < kMaxRounds && std::chrono::steady_clock::now() - m_start < kBudget;
    }

    // A moment within the time a run of Process on netlist takes here, so that the other party
    // lands before, during and after the run alike.
    std::chrono::microseconds MomentInARun(const std::string& netlist) {
        if (m_runTime.count() == 0) {
            const TempDir dir;
            WriteFileBytes(dir / "amp.ant", netlist);
            const auto start = std::chrono::steady_clock::now();
            ProcessNetlist(dir / "amp.ant", test::SmallRules());
            m_runTime = std::chrono::duration_cast<std::chrono::microseconds>(
                std::chrono::steady_clock::now() - start);
        }
        return std::chrono::microseconds(
            std::uniform_int_distribution<long>(0, 2 * m_runTime.count())(m_random));
    }

    std::chrono::microseconds m_runTime{0};

    std::mt19937 m_random{std::random_device{}()};
    const std::chrono::steady_clock::time_point m_start = std::chrono::steady_clock::now();
};

// Two runs on one netlist at once: the second waits for the first and then finds its output, so
// the placeholders are never moved over by a binned netlist.
TEST_F(CarelessRaceTest, TwoRunsOnOneNetlist) {
    const std::string netlist = Netlist('2');
    const std::string binned = Binned(netlist);
    int round = 0;
    for (; moreRounds(round); ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        const TempDir dir;
        const TempDir stateHome;
        ASSERT_TRUE(SaveSettings(dir / "s.amd", Settings()));
        WriteFileBytes(dir / "amp.net", netlist);
        test::RunOptions options;
        options.workingDir = dir.path();
        options.stateHome = stateHome.path();
        test::RunResult runs[2];
        std::thread other([&] { runs[1] = test::RunCli(Process({"amp.net"}), options); });
        runs[0] = test::RunCli(Process({"amp.net"}), options);
        other.join();
        EXPECT_EQ(runs[0].exitCode + runs[1].exitCode, 1) << runs[0].err << runs[1].err;
        for (const test::RunResult& run : runs) {
            EXPECT_TRUE(run.exitCode == 0 || run.err.find("is Tarvex's output") != std::string::npos ||
                        run.err.find("is being processed by another Tarvex") != std::string::npos)
                << run.err;
        }
        EXPECT_TRUE(ReadFileBytes(dir / "amp.ant") == netlist);
        EXPECT_TRUE(ReadFileBytes(dir / "amp.net") == binned);
        EXPECT_EQ(test::EntriesOf(dir.path()), (std::set<std::string>{"amp.ant", "amp.net", "s.amd"}));
    }
    EXPECT_GT(round, 0);
}

// The netlister writes a new export (a new file renamed over the name, as netlisters do) while
// Process bins the old one: the new export is never replaced, and no output mixes the two.
TEST_F(CarelessRaceTest, ExportWrittenDuringTheRun) {
    const std::string first = Netlist('2');
    const std::string second = Netlist('3');
    const std::string binnedFirst = Checksum(Binned(first));
    const std::string binnedSecond = Checksum(Binned(second));
    int round = 0;
    for (; moreRounds(round); ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        const TempDir dir;
        const test::ProcessMemory memory;
        WriteFileBytes(dir / "amp.net", first);
        const auto delay = MomentInARun(first);
        std::thread netlister([&] {
            std::this_thread::sleep_for(delay);
            WriteFileBytes(dir / "export.tmp", second);
            fs::rename(dir / "export.tmp", dir / "amp.net");
        });
        const ProcessOutcome outcome =
            ProcessNetlist(dir / "amp.net", test::SmallRules(), {}, memory.safety());
        netlister.join();
        const Files after = Snapshot(dir.path());
        const std::multiset<std::string> kept = Contents(after);
        EXPECT_TRUE(kept.contains(Checksum(second))) << "the new export is gone";
        // The first export goes only when the netlister wrote over it before the run moved it aside.
        if (!kept.contains(Checksum(first))) {
            EXPECT_EQ(after.at("amp.ant"), Checksum(second));
        }
        for (const auto& [name, entry] : after) {
            EXPECT_TRUE(entry == Checksum(first) || entry == Checksum(second) || entry == binnedFirst ||
                        entry == binnedSecond)
                << name << " holds neither export nor its binned netlist";
        }
        if (outcome.completed()) {
            // The binned backup, unless the new export came after the run and took its place.
            const std::string binned = after.at("amp.ant") == Checksum(first) ? binnedFirst : binnedSecond;
            EXPECT_TRUE(after.at("amp.net") == binned || after.at("amp.net") == Checksum(second));
        } else {
            EXPECT_NE(outcome.error.value_or("").find("was written by another program"), std::string::npos)
                << outcome.error.value_or("cancelled");
        }
    }
    EXPECT_GT(round, 0);
}

// The backup overwritten in place at the same size while it is binned: the output is the rewrite
// of one version or the other, or the run says that the netlist changed and writes nothing.
TEST_F(CarelessRaceTest, NetlistOverwrittenInPlace) {
    const std::string first = Netlist('2');
    const std::string second = Netlist('3');
    ASSERT_EQ(first.size(), second.size());
    const std::string binnedFirst = Binned(first);
    const std::string binnedSecond = Binned(second);
    int round = 0;
    for (; moreRounds(round); ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        const TempDir dir;
        const test::ProcessMemory memory;
        WriteFileBytes(dir / "amp.ant", first);
        // Written a while ago, as a netlist usually is: a write now gives it another time.
        const timespec past[2] = {{1'000'000'000, 0}, {1'000'000'000, 0}};
        ASSERT_EQ(::utimensat(AT_FDCWD, (dir / "amp.ant").c_str(), past, 0), 0);
        const auto delay = MomentInARun(first);
        std::thread editor([&] {
            std::this_thread::sleep_for(delay);
            const int fd = ::open((dir / "amp.ant").c_str(), O_WRONLY);
            ASSERT_GE(fd, 0);
            ASSERT_EQ(::pwrite(fd, second.data(), second.size(), 0), static_cast<ssize_t>(second.size()));
            ::close(fd);
        });
        const ProcessOutcome outcome =
            ProcessNetlist(dir / "amp.ant", test::SmallRules(), {}, memory.safety());
        editor.join();
        EXPECT_TRUE(ReadFileBytes(dir / "amp.ant") == second);
        if (outcome.completed()) {
            const std::string output = ReadFileBytes(dir / "amp.net");
            EXPECT_TRUE(output == binnedFirst || output == binnedSecond) << "the output mixes two versions";
        } else {
            EXPECT_NE(
                outcome.error.value_or("").find("changed while it was being read; nothing was written."),
                std::string::npos)
                << outcome.error.value_or("cancelled");
            EXPECT_FALSE(fs::exists(dir / "amp.net"));
        }
    }
    EXPECT_GT(round, 0);
}

} // namespace
} // namespace tarvex
