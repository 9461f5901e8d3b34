// SPDX-License-Identifier: MIT
// Process killed with SIGKILL while it writes the ".net": the ".ant" must hold the complete
// original, no partial output may stand under the netlist's name, and the next Process must
// regenerate a correct ".net".
#include "fault_support.h"

#include "process/process.h"
#include "support/param_name.h"
#include "support/process_memory.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <string>
#include <thread>

namespace tarvex {
namespace {

namespace fs = std::filesystem;
using test::EntriesOf;
using test::ReadFileBytes;
using test::TempDir;
using test::WriteFileBytes;

// A device-heavy netlist of about the given size and what Process must make of it.
struct Design {
    std::string netlist;
    std::string output;
};

Design MakeDesign(std::size_t bytes) {
    Design design;
    for (int i = 0; design.netlist.size() < bytes; ++i) {
        const std::string head = "M" + std::to_string(i) + " d g s b ";
        design.netlist += head + (i % 2 ? "MODxyP" : "MODxyN") + " L=1U W=2U\n";
        design.output += head + (i % 2 ? "PCH" : "NCH") + " L=1U W=2U\n";
    }
    return design;
}

// Runs ProcessNetlist(chosen) in a child process. With pauseAfter set, the child stops once it
// has read that many bytes, tells the parent through a pipe, and waits there to be killed.
class ChildProcess {
public:
    ChildProcess(const fs::path& chosen, std::optional<std::uint64_t> pauseAfter, const ProcessSafety& safety) {
        int fds[2];
        if (pipe(fds) != 0) {
            return;
        }
        m_pid = fork();
        if (m_pid == 0) {
            close(fds[0]);
            StreamOptions options;
            if (pauseAfter) {
                options.onProgress = [&](std::uint64_t bytesRead) {
                    if (bytesRead >= *pauseAfter) {
                        const char ready = 'r';
                        [[maybe_unused]] const ssize_t ignored = write(fds[1], &ready, 1);
                        for (;;) {
                            pause();
                        }
                    }
                    return true;
                };
            }
            const ProcessOutcome outcome = ProcessNetlist(chosen, test::SmallRules(), options, safety);
            _exit(outcome.completed() ? 0 : 1);
        }
        close(fds[1]);
        m_ready = fds[0];
    }

    ~ChildProcess() {
        kill();
        if (m_ready >= 0) {
            close(m_ready);
        }
    }

    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool started() const { return m_pid > 0; }

    // True once the child has reported that it paused mid-run.
    bool waitUntilPaused() {
        pollfd ready{m_ready, POLLIN, 0};
        char byte = 0;
        return poll(&ready, 1, 60'000) == 1 && read(m_ready, &byte, 1) == 1;
    }

    // Kills the child and reaps it; true when it died of the SIGKILL (not finished before it).
    bool kill() {
        if (m_pid <= 0) {
            return false;
        }
        ::kill(m_pid, SIGKILL);
        int status = 0;
        waitpid(m_pid, &status, 0);
        m_pid = 0;
        return WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
    }

private:
    pid_t m_pid = -1;
    int m_ready = -1;
};

struct CrashCase {
    std::string name;
    std::string killedRunChose; // the name the interrupted run was given
    std::string nextRunChooses; // the name the recovering run is given
};

void PrintTo(const CrashCase& c, std::ostream* os) {
    *os << c.name;
}

class CrashSafetyTest : public testing::TestWithParam<CrashCase> {};

TEST_P(CrashSafetyTest, KilledMidWriteKeepsTheOriginalAndTheNextRunRecovers) {
    const CrashCase& c = GetParam();
    const Design design = MakeDesign(8u << 20);
    const std::string oldOutput = test::OlderBinnedCopy(design.netlist);
    const TempDir dir;
    const test::ProcessMemory memory;
    if (c.killedRunChose == "amp.net") {
        WriteFileBytes(dir / "amp.net", design.netlist);
    } else {
        WriteFileBytes(dir / "amp.ant", design.netlist);
        WriteFileBytes(dir / "amp.net", oldOutput);
        memory.rememberOutput(dir / "amp.net", dir / "amp.ant");
    }

    {
        ChildProcess child(dir / c.killedRunChose, 3u << 20, memory.safety());
        ASSERT_TRUE(child.started());
        ASSERT_TRUE(child.waitUntilPaused()) << "the child never reached the middle of its run";
        ASSERT_TRUE(child.kill());
    }

    EXPECT_TRUE(ReadFileBytes(dir / "amp.ant") == design.netlist)
        << "the backup is not the complete original";
    if (c.killedRunChose == "amp.net") {
        EXPECT_FALSE(fs::exists(dir / "amp.net")) << "a partial output stands under the netlist's name";
    } else {
        EXPECT_EQ(ReadFileBytes(dir / "amp.net"), oldOutput);
    }
    // The run was caught mid-write: its partial output exists, under another name.
    std::set<std::string> others = EntriesOf(dir.path());
    others.erase("amp.ant");
    others.erase("amp.net");
    ASSERT_EQ(others.size(), 1u);
    const auto partial = fs::file_size(dir / *others.begin());
    EXPECT_GT(partial, 0u);
    EXPECT_LT(partial, design.output.size());

    const ProcessOutcome recovered = ProcessNetlist(dir / c.nextRunChooses, test::SmallRules(), {}, memory.safety());

    ASSERT_FALSE(recovered.error) << *recovered.error;
    EXPECT_TRUE(ReadFileBytes(dir / "amp.net") == design.output);
    EXPECT_TRUE(ReadFileBytes(dir / "amp.ant") == design.netlist);
    // The partial output keeps its unpredictable name: no later run reads, reuses or removes it,
    // since it cannot tell it from the file of a run still going on.
    EXPECT_EQ(EntriesOf(dir.path()), (std::set<std::string>{"amp.ant", "amp.net", *others.begin()}));
    EXPECT_EQ(fs::file_size(dir / *others.begin()), partial);
}

INSTANTIATE_TEST_SUITE_P(Cases, CrashSafetyTest,
                         testing::Values(CrashCase{"NetlistThenNetlist", "amp.net", "amp.net"},
                                         CrashCase{"NetlistThenBackup", "amp.net", "amp.ant"},
                                         CrashCase{"BackupThenBackup", "amp.ant", "amp.ant"}),
                         test::RowName());

// Kills at a spread of moments, without the child's help: before the move aside, while writing,
// or after the run finished. Whatever the moment, the original is whole under one of its names,
// any ".net" beside a ".ant" is complete, and the next run makes the right ".net".
TEST(CrashSafetyTest, KilledAtAnyMomentLosesNothing) {
    const Design design = MakeDesign(8u << 20);
    for (const int delayMs : {0, 2, 10, 50, 250, 1000}) {
        SCOPED_TRACE("killed after " + std::to_string(delayMs) + " ms");
        const TempDir dir;
        const test::ProcessMemory memory;
        WriteFileBytes(dir / "amp.net", design.netlist);
        {
            ChildProcess child(dir / "amp.net", std::nullopt, memory.safety());
            ASSERT_TRUE(child.started());
            std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
            child.kill();
        }

        const bool movedAside = fs::exists(dir / "amp.ant");
        if (movedAside) {
            EXPECT_TRUE(ReadFileBytes(dir / "amp.ant") == design.netlist);
            if (fs::exists(dir / "amp.net")) {
                EXPECT_TRUE(ReadFileBytes(dir / "amp.net") == design.output) << "a partial .net stands";
            }
        } else {
            EXPECT_TRUE(ReadFileBytes(dir / "amp.net") == design.netlist);
        }

        // A kill between the output's rename and its record leaves an output that the record does
        // not know: the recovering user then goes on, and the identical old output is not kept.
        const ProcessOutcome recovered =
            ProcessNetlist(dir / (movedAside ? "amp.ant" : "amp.net"), test::SmallRules(), {}, memory.safety(true));
        ASSERT_FALSE(recovered.error) << *recovered.error;
        EXPECT_TRUE(ReadFileBytes(dir / "amp.net") == design.output);
        EXPECT_TRUE(ReadFileBytes(dir / "amp.ant") == design.netlist);
        // Besides them, at most the killed run's partial output under its own temporary name.
        std::set<std::string> others = EntriesOf(dir.path());
        EXPECT_EQ(others.erase("amp.ant") + others.erase("amp.net"), 2u);
        EXPECT_LE(others.size(), 1u);
        for (const std::string& name : others) {
            EXPECT_TRUE(name.starts_with(".tarvex-") && name.ends_with(".tmp")) << name;
        }
    }
}

} // namespace
} // namespace tarvex
