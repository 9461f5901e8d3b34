// SPDX-License-Identifier: MIT
#include "describe.h"
#include "fuzz_input.h"
#include "process/binned_copy.h"
#include "reference.h"
#include "rewrite/netlist_rewrite.h"
#include "targets.h"

#include <algorithm>
#include <bit>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <functional>
#include <mutex>
#include <span>
#include <string_view>
#include <thread>
#include <vector>

namespace tarvex::fuzz {
namespace {

// Each family's default Keys (a Key's length byte 0) and the first letter of its generated names.
constexpr std::string_view kFamilyKeys[3][2] = {
    {kDefaultKeyN, kDefaultKeyP}, {"HVxyN", "HVxyP"}, {"LVxyN", "LVxyP"}};
constexpr char kFamilyLabels[3][2] = {{'n', 'p'}, {'h', 'k'}, {'u', 'v'}};

// Sizes that the netlist's "L=" and "W=" values hit often: a few microns and their neighbours.
constexpr double kNiceBounds[] = {0, 1e-7, 5e-7, 1e-6, 1.5e-6, 2e-6, 3e-6, 5e-6, 1e-5, 1, 2, 10, 1e3, 1e6};
constexpr std::size_t kNiceCount = sizeof kNiceBounds / sizeof kNiceBounds[0];

// Keys and names never hold a line end: they come from single-line fields, and the line-count
// property relies on it.
std::string WithoutLineEnds(std::string text) {
    std::replace(text.begin(), text.end(), '\n', '_');
    std::replace(text.begin(), text.end(), '\r', '_');
    return text;
}

// Length byte 0 → the default Key, 255 → the empty Key (which matches every line), otherwise
// 1 to 49 bytes of the input.
std::string ReadKey(FuzzInput& in, std::string_view defaultKey) {
    const std::uint8_t length = in.byte();
    if (length == 0) {
        return std::string(defaultKey);
    }
    if (length == 255) {
        return {};
    }
    return WithoutLineEnds(in.bytes(length % kMaxKeyLength + 1u));
}

// Each bound is a nice size, a raw double (NaN, infinity, denormal...) or a multiple of 0.1 µm;
// in ladder mode the axis rises evenly from 0, so most sizes land in a bin.
void ReadBounds(FuzzInput& in, Bounds& bounds, bool ladder) {
    if (ladder) {
        const double step = (in.byte() + 1) * 1e-7;
        for (int i = 0; i < kBoundCount; ++i) {
            bounds[static_cast<std::size_t>(i)] = i * step;
        }
        return;
    }
    for (double& bound : bounds) {
        const std::uint8_t choice = in.byte();
        bound = choice < kNiceCount ? kNiceBounds[choice]
                : choice == 255     ? in.rawDouble()
                                    : (choice - 13) * 1e-7;
    }
}

// A 25-bit mask says which cells are filled; the style decides what they hold: a short generated
// name, a name that contains another Key (so a later Key's pass meets it), the table's own Key, or
// up to 21 raw bytes (no NUL at all when 21). keys holds every Key of the run, N then P for each
// family, and own is the index of the table's Key among them. With one family the other Key is
// the other polarity's; with several, one more byte chooses it among all the Keys.
void ReadTable(FuzzInput& in, BinTable& table, char label, const std::vector<std::string>& keys,
               std::size_t own) {
    const std::uint8_t mode = in.byte();
    ReadBounds(in, table.widthBounds, (mode & 1) == 0);
    ReadBounds(in, table.lengthBounds, (mode & 2) == 0);
    const std::uint32_t filled = in.u32();
    const int style = (mode >> 2) & 3;
    const std::string& ownKey = keys[own];
    const std::string& otherKey = style != 1         ? ownKey
                                  : keys.size() == 2 ? keys[own ^ 1]
                                                     : keys[in.byte() % keys.size()];
    for (int w = 0; w < kBinCount; ++w) {
        for (int l = 0; l < kBinCount; ++l) {
            if ((filled >> (w * kBinCount + l) & 1u) == 0) {
                continue;
            }
            const std::string generated =
                std::string(1, label) + static_cast<char>('0' + w) + static_cast<char>('0' + l);
            std::string name;
            switch (style) {
            case 0:
                name = generated;
                break;
            case 1:
                name = generated + otherKey;
                break;
            case 2:
                name = ownKey;
                break;
            default:
                name = WithoutLineEnds(in.bytes(in.byte() % (kNameCellSize + 1)));
                break;
            }
            char* cell = table.partNames[w][l];
            std::memset(cell, 0, kNameCellSize);
            std::memcpy(cell, name.data(), std::min(name.size(), kNameCellSize));
        }
    }
}

// Accepts a fixed number of bytes, then fails every write.
class FailingWriter final : public ByteWriter {
public:
    explicit FailingWriter(std::size_t capacity) : m_capacity(capacity) {}
    std::error_code write(std::string_view bytes) override {
        if (bytes.size() > m_capacity) {
            m_capacity = 0;
            return std::make_error_code(std::errc::no_space_on_device);
        }
        m_capacity -= bytes.size();
        return {};
    }

private:
    std::size_t m_capacity;
};

// Delivers a fixed number of bytes, then reports a read error.
class FailingReader final : public ByteReader {
public:
    FailingReader(std::string_view data, std::size_t good) : m_data(data.substr(0, good)) {}
    ReadResult read(std::span<char> buffer) override {
        if (m_data.empty()) {
            return {0, std::make_error_code(std::errc::io_error)};
        }
        const std::size_t count = std::min(buffer.size(), m_data.size());
        std::memcpy(buffer.data(), m_data.data(), count);
        m_data.remove_prefix(count);
        return {count, {}};
    }

private:
    std::string_view m_data;
};

Failure Mismatch(const char* what, std::uint64_t got, std::uint64_t expected) {
    return Fail(std::string(what) + " is " + std::to_string(got) + ", expected " + std::to_string(expected));
}

// Every input line that holds no Key comes out unchanged, and a device line keeps every byte in
// front of its first Key and after its last one, give or take the Keys formed across inserted
// names: a later Key may form across either end of a name, starting up to its length less one byte
// before it or reaching as far after it, and each later Key may widen the changed part again.
Result<void> CheckUntouchedBytes(std::string_view netlist, std::string_view output,
                                 const std::vector<std::string>& keys) {
    const std::vector<std::string_view> in = SplitLines(netlist);
    const std::vector<std::string_view> out = SplitLines(output);
    if (in.size() != out.size()) {
        return Mismatch("output line count", out.size(), in.size());
    }
    // How far the Keys after each Key can widen the changed part of a line, on either side.
    std::vector<std::size_t> reach(keys.size(), 0);
    for (std::size_t k = keys.size(); k-- > 1;) {
        reach[k - 1] = reach[k] + (keys[k].empty() ? 0 : keys[k].size() - 1);
    }
    for (std::size_t i = 0; i < in.size(); ++i) {
        std::size_t head = in[i].size();
        std::size_t last = 0;
        bool device = false;
        for (std::size_t k = 0; k < keys.size(); ++k) {
            const std::size_t first = in[i].find(keys[k]);
            if (first == std::string_view::npos) {
                continue;
            }
            device = true;
            head = std::min(head, first - std::min(first, reach[k]));
            last = std::max(last, in[i].rfind(keys[k]) + keys[k].size() + reach[k]);
        }
        if (!device) {
            if (in[i] != out[i]) {
                return Fail("line " + std::to_string(i + 1) + " holds no Key but changed: " + Quote(in[i]) +
                            " → " + Quote(out[i]));
            }
            continue;
        }
        const std::size_t tail = in[i].size() - std::min(in[i].size(), last);
        if (out[i].substr(0, head) != in[i].substr(0, head) || out[i].size() < tail ||
            out[i].substr(out[i].size() - tail) != in[i].substr(in[i].size() - tail)) {
            return Fail("device line " + std::to_string(i + 1) +
                        " changed outside its Keys: " + Quote(in[i]) + " → " + Quote(out[i]));
        }
    }
    return {};
}

// Threads kept from one input to the next: starting threads costs far more than a small input. A
// task starts at once on an idle thread, or on a new one when none is idle. The pool lives until
// the process ends.
class ThreadPool final : public TaskRunner {
public:
    void start(std::function<void()> task) override {
        const std::lock_guard lock(m_mutex);
        m_tasks.push_back(std::move(task));
        if (m_idle < m_tasks.size()) {
            std::thread(&ThreadPool::serve, this).detach();
            ++m_idle;
        }
        m_ready.notify_one();
    }

private:
    void serve() {
        std::unique_lock lock(m_mutex);
        for (;;) {
            m_ready.wait(lock, [this] { return !m_tasks.empty(); });
            std::function<void()> task = std::move(m_tasks.front());
            m_tasks.pop_front();
            --m_idle;
            lock.unlock();
            task();
            task = nullptr;
            lock.lock();
            ++m_idle;
        }
    }

    std::mutex m_mutex;
    std::condition_variable m_ready;
    std::deque<std::function<void()>> m_tasks;
    std::size_t m_idle = 0; // threads waiting for a task, counting those about to start
};

TaskRunner& SharedThreads() {
    static ThreadPool* const pool = new ThreadPool;
    return *pool;
}

// What a caller sees of one run.
struct SeenDevice {
    ReferenceEvent event;
    std::uint64_t lengthBits = 0;
    std::uint64_t widthBits = 0;
    bool hasLength = false;
    bool hasWidth = false;
    int widthBin = -1;
    int lengthBin = -1;
    std::string partName;

    bool operator==(const SeenDevice&) const = default;
};

struct Run {
    std::string output;
    StreamResult result;
    std::vector<ReferenceEvent> events;
    std::vector<SeenDevice> devices;
    std::uint64_t lastProgress = 0;
    bool progressRose = true;
};

Run Observe(std::string_view netlist, std::span<const RewriteRules> families, unsigned threads,
            StreamTuning tuning, std::size_t readSize) {
    Run run;
    StreamOptions options;
    options.threads = threads;
    options.tuning = tuning;
    options.onDevice = [&](std::uint64_t line, const DeviceEvent& event) {
        run.events.push_back({line, event.family, event.polarity, event.outcome});
        run.devices.push_back({{line, event.family, event.polarity, event.outcome},
                               std::bit_cast<std::uint64_t>(event.length),
                               std::bit_cast<std::uint64_t>(event.width),
                               event.hasLength,
                               event.hasWidth,
                               event.widthBin.value_or(-1),
                               event.lengthBin.value_or(-1),
                               std::string(event.partName)});
    };
    options.onProgress = [&](std::uint64_t bytesRead) {
        run.progressRose = run.progressRose && bytesRead >= run.lastProgress;
        run.lastProgress = bytesRead;
        return true;
    };
    MemoryReader reader(netlist, readSize);
    StringWriter writer(run.output);
    run.result = RewriteStream(reader, writer, families, options);
    return run;
}

Result<void> CompareRuns(const Run& got, const Run& expected) {
    if (got.result.status != expected.result.status) {
        return Mismatch("status", static_cast<std::uint64_t>(got.result.status),
                        static_cast<std::uint64_t>(expected.result.status));
    }
    if (got.output != expected.output) {
        return Fail("output differs from one thread's at byte " +
                    std::to_string(FirstDifference(got.output, expected.output)));
    }
    const RunReport& a = got.result.report;
    const RunReport& b = expected.result.report;
    if (a.lines != b.lines || a.bytesRead != b.bytesRead || a.bytesWritten != b.bytesWritten ||
        a.devicesReplaced != b.devicesReplaced || a.devicesMissingName != b.devicesMissingName ||
        a.devicesNoBin != b.devicesNoBin || a.firstProblem != b.firstProblem) {
        return Fail("the run report differs from one thread's");
    }
    if (got.devices != expected.devices) {
        return Fail(Mismatch("devices reported", got.devices.size(), expected.devices.size()).message +
                    " (or they differ from one thread's)");
    }
    if (!got.progressRose || got.lastProgress != expected.lastProgress) {
        return Mismatch("last progress", got.lastProgress, expected.lastProgress);
    }
    return {};
}

// One input: how the netlist is read and cut, the faults to inject, the families and the netlist.
struct Case {
    std::size_t readSize = 0;
    StreamTuning tuning;   // of the one-thread runs
    StreamTuning threaded; // of the runs on threads: longer chunks, cut elsewhere
    unsigned threads = 1;
    std::uint8_t faults = 0;
    std::vector<RewriteRules> families;
    std::vector<std::string> keys; // every Key, N then P for each family
    std::string_view netlist;
};

// The low byte sets the reader's read size (255: all at once); the high byte the chunk size and
// the chunks in flight; with the lowest bit, its two top bits choose whether the input also runs on
// threads (one in eight: a run on threads costs several small inputs in wake-ups). Chunks of a few
// bytes keep each input cheap and put chunk edges everywhere. Then the faults, one to three
// families (all their Keys first, 0 giving each family's own default pair, then their tables, N
// then P for each), and the rest as the netlist.
Case ReadCase(FuzzInput& in) {
    Case c;
    const std::uint16_t sizes = in.u16();
    c.readSize = (sizes & 0xFF) == 0xFF ? SIZE_MAX : (sizes & 0xFFu) + 1;
    c.tuning.chunkSize = ((sizes >> 8) & 0x1Fu) + 1;
    c.tuning.chunksInFlight = ((sizes >> 13) & 1u) + 2;
    c.tuning.runner = &SharedThreads();
    // Each handover between threads costs a wake-up, so these chunks are longer (a few lines each,
    // and cut elsewhere, which the output must not notice either); the one-thread runs already put
    // chunk edges everywhere.
    c.threaded = c.tuning;
    c.threaded.chunkSize = 4 * c.tuning.chunkSize + 64;
    c.faults = in.byte();
    c.threads = (sizes >> 14) == 3 && (sizes & 1) != 0 ? 2u + c.faults % 3u : 1u;
    c.families.resize(1 + in.byte() % 3u);
    for (std::size_t family = 0; family < c.families.size(); ++family) {
        c.families[family].keyN = ReadKey(in, kFamilyKeys[family][0]);
        c.families[family].keyP = ReadKey(in, kFamilyKeys[family][1]);
        c.keys.push_back(c.families[family].keyN);
        c.keys.push_back(c.families[family].keyP);
    }
    for (std::size_t family = 0; family < c.families.size(); ++family) {
        ReadTable(in, c.families[family].tableN, kFamilyLabels[family][0], c.keys, 2 * family);
        ReadTable(in, c.families[family].tableP, kFamilyLabels[family][1], c.keys, 2 * family + 1);
    }
    c.netlist = in.rest();
    return c;
}

std::string Describe(const ReferenceEvent& event) {
    return "line " + std::to_string(event.line) + ", family " + std::to_string(event.family) +
           (event.polarity == Polarity::N ? ", N" : ", P") + ", outcome " +
           std::to_string(static_cast<int>(event.outcome));
}

// The one-thread run gives the reference's bytes, lines and devices, with a report and progress
// that agree with them.
Result<void> CheckAgainstReference(const Case& c, const Run& run, const ReferenceRun& expected) {
    const StreamResult& result = run.result;
    if (result.status != StreamStatus::Completed) {
        return Fail("the rewrite of a memory netlist did not complete");
    }
    if (run.output != expected.output) {
        const std::size_t at = FirstDifference(run.output, expected.output);
        return Fail("output differs from the reference at byte " + std::to_string(at) + ": " +
                    Quote(std::string_view(run.output).substr(at)) + " instead of " +
                    Quote(std::string_view(expected.output).substr(at)) + " (reads of " +
                    std::to_string(c.readSize) + ", chunks of " + std::to_string(c.tuning.chunkSize) + ", " +
                    std::to_string(c.families.size()) + " families)");
    }
    if (result.report.lines != expected.lines) {
        return Mismatch("report.lines", result.report.lines, expected.lines);
    }
    if (result.report.bytesRead != c.netlist.size() || result.report.bytesWritten != run.output.size()) {
        return Fail(Mismatch("report.bytesRead", result.report.bytesRead, c.netlist.size()).message + "; " +
                    Mismatch("report.bytesWritten", result.report.bytesWritten, run.output.size()).message);
    }
    if (run.events != expected.events) {
        for (std::size_t i = 0; i < std::min(run.events.size(), expected.events.size()); ++i) {
            if (!(run.events[i] == expected.events[i])) {
                return Fail("device " + std::to_string(i + 1) + " reported on " + Describe(run.events[i]) +
                            ", expected " + Describe(expected.events[i]));
            }
        }
        return Mismatch("devices reported", run.events.size(), expected.events.size());
    }
    const auto count = [&](DeviceOutcome outcome) {
        return static_cast<std::uint64_t>(
            std::count_if(expected.events.begin(), expected.events.end(),
                          [&](const ReferenceEvent& e) { return e.outcome == outcome; }));
    };
    if (result.report.devicesReplaced != count(DeviceOutcome::Replaced) ||
        result.report.devicesMissingName != count(DeviceOutcome::MissingName) ||
        result.report.devicesNoBin != count(DeviceOutcome::NoBin)) {
        return Fail("report counts do not match the devices reported");
    }
    if (!run.progressRose || run.lastProgress != c.netlist.size()) {
        return Mismatch("last progress", run.lastProgress, c.netlist.size());
    }
    return {};
}

// Process tells a binned netlist from its backup by the same rule, for one family: every output is
// a binned copy of its input, or the input itself when no Key was replaced.
Result<void> CheckBinnedCopy(const Case& c, std::string_view output) {
    if (c.families.size() != 1) {
        return {};
    }
    MemoryReader antReader(c.netlist, c.readSize);
    MemoryReader netReader(output, c.readSize / 2 + 1);
    const CopyComparison compared = CompareWithBackup(antReader, netReader, c.families.front());
    const bool changed = output != c.netlist;
    if (compared.error ||
        compared.relation != (changed ? CopyRelation::BinnedCopy : CopyRelation::Identical)) {
        return Fail("the output compared with its input gave " +
                    std::to_string(static_cast<int>(compared.relation)) +
                    (changed ? ", expected a binned copy" : ", expected identical"));
    }
    return {};
}

// The single-line entry point agrees with the stream line by line, devices included.
Result<void> CheckLineByLine(const Case& c, const ReferenceRun& expected) {
    std::string byLine;
    std::uint64_t lineNumber = 0;
    std::vector<ReferenceEvent> lineEvents;
    for (const std::string_view line : SplitLines(c.netlist)) {
        ++lineNumber;
        for (const DeviceEvent& event : RewriteLine(line, c.families, byLine)) {
            lineEvents.push_back({lineNumber, event.family, event.polarity, event.outcome});
        }
    }
    if (byLine != expected.output) {
        return Fail("RewriteLine differs from the reference at byte " +
                    std::to_string(FirstDifference(byLine, expected.output)));
    }
    if (lineEvents != expected.events) {
        return Fail(Mismatch("RewriteLine's devices", lineEvents.size(), expected.events.size()).message +
                    " (or they differ from the reference's)");
    }
    return {};
}

// Rewriting threads change nothing the caller sees.
Result<void> CheckThreads(const Case& c, const Run& run) {
    if (c.threads == 1) {
        return {};
    }
    const Run parallel = Observe(c.netlist, c.families, c.threads, c.threaded, c.readSize);
    if (const Result<void> same = CompareRuns(parallel, run); !same) {
        return Fail("with " + std::to_string(c.threads) + " threads, chunks of " +
                    std::to_string(c.threaded.chunkSize) + " bytes: " + same.error());
    }
    return {};
}

// Without a device callback the usual device lines take a shorter path: the same bytes, lines and
// counts.
Result<void> CheckQuiet(const Case& c, const Run& run) {
    std::string quiet;
    StreamOptions plain;
    plain.threads = c.threads;
    plain.tuning = c.threads > 1 ? c.threaded : c.tuning;
    MemoryReader again(c.netlist, c.readSize);
    StringWriter sink(quiet);
    const RunReport report = RewriteStream(again, sink, c.families, plain).report;
    const RunReport& full = run.result.report;
    if (quiet != run.output) {
        return Fail("without a device callback the output differs at byte " +
                    std::to_string(FirstDifference(quiet, run.output)));
    }
    if (report.lines != full.lines || report.devicesReplaced != full.devicesReplaced ||
        report.devicesKept() != full.devicesKept() || report.firstProblem != full.firstProblem) {
        return Fail("without a device callback the run report differs");
    }
    return {};
}

// A writer or reader that fails part-way ends the run with the matching status, never a crash; the
// threads see it too.
Result<void> CheckFaults(const Case& c, const ReferenceRun& expected) {
    StreamOptions options;
    options.threads = c.threads;
    options.tuning = c.threads > 1 ? c.threaded : c.tuning;
    if (c.faults & 1) {
        const std::size_t room = c.faults >> 1;
        FailingWriter failingWriter(room);
        MemoryReader again(c.netlist, c.readSize);
        const StreamStatus status = RewriteStream(again, failingWriter, c.families, options).status;
        const bool fits = expected.output.size() <= room;
        if (status != (fits ? StreamStatus::Completed : StreamStatus::WriteFailed)) {
            return Fail("a writer that takes " + std::to_string(room) + " of " +
                        std::to_string(expected.output.size()) + " bytes gave status " +
                        std::to_string(static_cast<int>(status)));
        }
    } else if (c.faults & 2) {
        std::string ignored;
        FailingReader failingReader(c.netlist, c.faults >> 2);
        StringWriter sink(ignored);
        const StreamResult failed = RewriteStream(failingReader, sink, c.families, options);
        if (failed.status != StreamStatus::ReadFailed || failed.error != std::errc::io_error) {
            return Fail("a read error did not end the run with ReadFailed and its error");
        }
    }
    return {};
}

} // namespace

Result<void> CheckRewriteStream(Bytes data) {
    FuzzInput in(data);
    const Case c = ReadCase(in);
    const Run run = Observe(c.netlist, c.families, 1, c.tuning, c.readSize);
    const ReferenceRun expected = ReferenceRewrite(c.netlist, c.families);
    const std::function<Result<void>()> checks[] = {
        [&] { return CheckAgainstReference(c, run, expected); },
        [&] { return CheckUntouchedBytes(c.netlist, run.output, c.keys); },
        [&] { return CheckBinnedCopy(c, run.output); },
        [&] { return CheckLineByLine(c, expected); },
        [&] { return CheckThreads(c, run); },
        [&] { return CheckQuiet(c, run); },
        [&] { return CheckFaults(c, expected); },
    };
    for (const std::function<Result<void>()>& check : checks) {
        if (Result<void> checked = check(); !checked) {
            return checked;
        }
    }
    return {};
}

} // namespace tarvex::fuzz
