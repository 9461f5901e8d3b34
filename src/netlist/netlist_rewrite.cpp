// SPDX-License-Identifier: MIT
#include "netlist/netlist_rewrite.h"

#include "netlist/chunk_rewrite.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

namespace tarvex {
namespace {

constexpr std::size_t kOneThreadChunk = std::size_t{1} << 20;
constexpr std::size_t kLargestChunk = std::size_t{512} << 10;
constexpr std::size_t kSmallestChunk = std::size_t{256} << 10;
// Inputs and outputs of all chunks in flight together, on normal lines (an output is barely larger
// than its input).
constexpr std::size_t kMemoryBudget = std::size_t{12} << 20;
// Runs of lines without a Key at least this long are written from the input, not copied first.
constexpr std::size_t kDirectRun = std::size_t{64} << 10;

struct Plan {
    unsigned threads = 1;
    std::size_t chunkSize = kOneThreadChunk;
    std::size_t inFlight = 1;
};

// Each rewriting thread has a chunk to work on while one is being written and the next waits.
// Small chunks stay in a core's cache between being read and rewritten and take few fresh pages;
// with many threads they shrink, and then their number is capped, to stay in the budget.
Plan MakePlan(const StreamOptions& options) {
    Plan plan;
    plan.threads = options.threads != 0 ? options.threads : std::max(1u, std::thread::hardware_concurrency());
    const StreamTuning& tuning = options.tuning;
    if (plan.threads == 1) {
        plan.chunkSize = tuning.chunkSize != 0 ? tuning.chunkSize : kOneThreadChunk;
        return plan;
    }
    plan.inFlight = tuning.chunksInFlight != 0 ? std::max<std::size_t>(tuning.chunksInFlight, 2)
                                               : std::size_t{plan.threads} + 2;
    if (tuning.chunkSize != 0) {
        plan.chunkSize = tuning.chunkSize;
    } else {
        plan.chunkSize = kLargestChunk;
        while (plan.chunkSize > kSmallestChunk && 2 * plan.chunkSize * plan.inFlight > kMemoryBudget) {
            plan.chunkSize /= 2;
        }
        if (tuning.chunksInFlight == 0) {
            plan.inFlight = std::clamp<std::size_t>(kMemoryBudget / (2 * plan.chunkSize), 2, plan.inFlight);
        }
    }
    plan.threads = static_cast<unsigned>(std::min<std::size_t>(plan.threads, plan.inFlight));
    return plan;
}

// Writes chunks in file order and delivers everything the caller sees: the output, the report, the
// device callbacks with their line numbers made absolute, and progress. Runs on the calling thread.
class Emitter {
public:
    Emitter(ByteWriter& out, const RewriteRules& rules, const StreamOptions& options)
        : m_out(out), m_rules(rules), m_options(options) {}

    // Completed to go on, or why the run stops.
    StreamStatus emit(const Chunk& chunk) {
        const std::string_view output = chunk.output;
        std::size_t at = 0;
        for (const Chunk::DirectRun& run : chunk.direct) {
            if (!write(output.substr(at, run.outputAt - at)) ||
                !write(chunk.text().substr(run.from, run.size))) {
                return StreamStatus::WriteFailed;
            }
            at = run.outputAt;
        }
        if (!write(output.substr(at))) {
            return StreamStatus::WriteFailed;
        }
        if (m_options.onDevice) {
            for (const ChunkDevice& device : chunk.devices) {
                m_options.onDevice(m_report.lines + device.line + 1, ToDeviceEvent(device, m_rules));
            }
        }
        m_report.lines += chunk.lines;
        m_report.devicesReplaced += chunk.replaced;
        m_report.devicesMissingName += chunk.missingName;
        m_report.devicesNoBin += chunk.noBin;
        if (!m_report.firstProblem && chunk.firstProblem) {
            m_report.firstProblem = ProblemMessage(ToDeviceEvent(*chunk.firstProblem, m_rules));
        }
        m_report.bytesRead = chunk.bytesRead;
        if (m_options.onProgress && !m_options.onProgress(chunk.bytesRead)) {
            return StreamStatus::Cancelled;
        }
        return StreamStatus::Completed;
    }

    // At the end of the input: flushes out.
    StreamStatus finish() {
        if (const std::error_code error = m_out.flush()) {
            m_error = error;
            return StreamStatus::WriteFailed;
        }
        return StreamStatus::Completed;
    }

    StreamResult result(StreamStatus status, std::error_code error) {
        StreamResult result;
        result.status = status;
        result.error = error;
        result.report = std::move(m_report);
        return result;
    }

    const std::error_code& writeError() const { return m_error; }

private:
    bool write(std::string_view bytes) {
        if (bytes.empty()) {
            return true;
        }
        m_report.bytesWritten += bytes.size();
        if (const std::error_code error = m_out.write(bytes)) {
            m_error = error;
            return false;
        }
        return true;
    }

    ByteWriter& m_out;
    const RewriteRules& m_rules;
    const StreamOptions& m_options;
    RunReport m_report;
    std::error_code m_error; // of the failed write
};

// The run's result with the error that goes with a failed read or write.
StreamResult Finish(Emitter& emitter, StreamStatus status, std::error_code readError = {}) {
    const std::error_code error = status == StreamStatus::ReadFailed    ? readError
                                  : status == StreamStatus::WriteFailed ? emitter.writeError()
                                                                        : std::error_code();
    return emitter.result(status, error);
}

// The threads of a parallel run. Workers take turns at reading the next chunk (one at a time, so
// chunks are cut in file order) and then rewrite the chunk they read, so that it is read and
// rewritten on one core; the owner (the calling thread) takes chunks back in file order with
// next() and writes them. The chunks are allocated once, so memory stays flat. Destroying the
// pipeline stops every task and waits for it: a worker finishes what it is doing (one read, one
// chunk) and returns.
class Pipeline {
public:
    struct Slot {
        Chunk chunk;
        bool rewritten = false;
    };

    Pipeline(ChunkReader& reader, const ChunkRewriter& rewriter, const Plan& plan, TaskRunner* runner,
             Chunk first)
        : m_reader(reader), m_rewriter(rewriter) {
        for (std::size_t i = 0; i < plan.inFlight; ++i) {
            m_slots.push_back(std::make_unique<Slot>());
            m_free.push_back(m_slots.back().get());
        }
        // The first chunk, read by the caller, waits for a worker.
        Slot* const slot = m_free.front();
        m_free.pop_front();
        slot->chunk = std::move(first);
        m_inOrder.push_back(slot);
        m_unread = slot;
        try {
            for (unsigned i = 0; i < plan.threads; ++i) {
                start(runner);
            }
        } catch (...) {
            stopAndJoin();
            throw;
        }
    }

    ~Pipeline() { stopAndJoin(); }

    Pipeline(const Pipeline&) = delete;
    Pipeline& operator=(const Pipeline&) = delete;

    // The next chunk in file order once it is rewritten; nothing at the end of the input or after a
    // read error. Rethrows what another thread threw.
    Slot* next() {
        std::unique_lock lock(m_mutex);
        m_forWriter.wait(lock, [this] {
            return m_failure || (!m_inOrder.empty() && m_inOrder.front()->rewritten) ||
                   (m_inOrder.empty() && m_readDone);
        });
        if (m_failure) {
            std::rethrow_exception(m_failure);
        }
        if (m_inOrder.empty()) {
            return nullptr;
        }
        Slot* const slot = m_inOrder.front();
        m_inOrder.pop_front();
        return slot;
    }

    // Gives a written chunk back for the next read.
    void recycle(Slot* slot) {
        {
            const std::lock_guard lock(m_mutex);
            slot->rewritten = false;
            m_free.push_back(slot);
        }
        m_forWorkers.notify_one();
    }

    // The error of a failed read, once next() has returned nothing; none when the input ended well.
    const std::error_code& readError() const { return m_readError; }
    bool readFailed() const { return m_readFailed; }

private:
    // Runs a worker on a thread of the runner's, or on a new one; counted until it returns.
    void start(TaskRunner* runner) {
        {
            const std::lock_guard lock(m_mutex);
            ++m_running;
        }
        auto task = [this] {
            work();
            // Notified under the lock: once it is released, the pipeline may be gone.
            const std::lock_guard lock(m_mutex);
            --m_running;
            m_tasksEnded.notify_all();
        };
        try {
            if (runner) {
                runner->start(task);
            } else {
                m_threads.emplace_back(task);
            }
        } catch (...) {
            const std::lock_guard lock(m_mutex);
            --m_running;
            throw;
        }
    }

    void work() {
        for (;;) {
            Slot* slot = nullptr;
            bool read = false;
            {
                std::unique_lock lock(m_mutex);
                m_forWorkers.wait(lock, [this] {
                    return m_stopping || m_unread || m_readDone || (!m_reading && !m_free.empty());
                });
                if (m_stopping) {
                    return;
                }
                if (m_unread) {
                    slot = std::exchange(m_unread, nullptr);
                } else if (m_readDone) {
                    return;
                } else {
                    slot = m_free.front();
                    m_free.pop_front();
                    m_reading = true;
                    read = true;
                }
            }
            if (read && !readInto(slot)) {
                return;
            }
            try {
                m_rewriter.rewrite(slot->chunk);
            } catch (...) {
                fail(std::current_exception());
                return;
            }
            bool writerWaits = false;
            {
                const std::lock_guard lock(m_mutex);
                slot->rewritten = true;
                writerWaits = m_inOrder.front() == slot;
            }
            if (writerWaits) {
                m_forWriter.notify_one();
            }
        }
    }

    // Reads the next chunk into slot, this worker's turn at reading; false when the run ends here.
    bool readInto(Slot* slot) {
        std::error_code error;
        try {
            error = m_reader.fill(slot->chunk);
        } catch (...) {
            fail(std::current_exception());
            return false;
        }
        const bool ok = !error;
        const bool done = !ok || slot->chunk.last;
        {
            const std::lock_guard lock(m_mutex);
            m_reading = false;
            if (ok) {
                m_inOrder.push_back(slot);
            } else {
                m_readFailed = true;
                m_readError = error;
            }
            m_readDone = done;
        }
        if (done) {
            // Idle workers end; the writer may be waiting for the end of the input.
            m_forWorkers.notify_all();
            m_forWriter.notify_one();
        } else {
            m_forWorkers.notify_one(); // the next read may start
        }
        return ok;
    }

    void fail(std::exception_ptr failure) {
        {
            const std::lock_guard lock(m_mutex);
            if (!m_failure) {
                m_failure = std::move(failure);
            }
            m_stopping = true;
        }
        notifyEveryone();
    }

    void notifyEveryone() {
        m_forWorkers.notify_all();
        m_forWriter.notify_all();
    }

    void stopAndJoin() {
        {
            const std::lock_guard lock(m_mutex);
            m_stopping = true;
        }
        notifyEveryone();
        {
            std::unique_lock lock(m_mutex);
            m_tasksEnded.wait(lock, [this] { return m_running == 0; });
        }
        for (std::thread& thread : m_threads) {
            thread.join();
        }
        m_threads.clear();
    }

    ChunkReader& m_reader;
    const ChunkRewriter& m_rewriter;
    std::vector<std::unique_ptr<Slot>> m_slots;
    std::vector<std::thread> m_threads;

    std::mutex m_mutex;                   // guards everything below
    std::condition_variable m_forWorkers; // a chunk to rewrite, a turn at reading, or the end
    std::condition_variable m_forWriter;  // the next chunk in order is rewritten, or the run ends
    std::condition_variable m_tasksEnded;
    int m_running = 0;           // tasks started and not yet returned
    std::deque<Slot*> m_free;    // ready to be read into
    std::deque<Slot*> m_inOrder; // read and not yet written, in file order
    Slot* m_unread = nullptr;    // the caller's first chunk until a worker takes it
    bool m_reading = false;      // a worker is reading
    bool m_stopping = false;
    bool m_readDone = false; // the last chunk has been read, or reading failed
    bool m_readFailed = false;
    std::error_code m_readError;
    std::exception_ptr m_failure;
};

StreamResult RunParallel(ChunkReader& reader, Chunk first, const ChunkRewriter& rewriter, Emitter& emitter,
                         const Plan& plan, TaskRunner* runner) {
    Pipeline pipeline(reader, rewriter, plan, runner, std::move(first));
    while (Pipeline::Slot* slot = pipeline.next()) {
        const StreamStatus status = emitter.emit(slot->chunk);
        if (status != StreamStatus::Completed) {
            return Finish(emitter, status);
        }
        pipeline.recycle(slot);
    }
    if (pipeline.readFailed()) {
        return Finish(emitter, StreamStatus::ReadFailed, pipeline.readError());
    }
    return Finish(emitter, emitter.finish());
}

StreamResult Run(ByteReader& in, ByteWriter& out, const RewriteRules& rules, const StreamOptions& options) {
    const Plan plan = MakePlan(options);
    const ChunkRewriter::Record record = !options.onDevice  ? ChunkRewriter::Record::None
                                         : options.keptOnly ? ChunkRewriter::Record::Kept
                                                            : ChunkRewriter::Record::All;
    const ChunkRewriter rewriter(rules, std::min(kDirectRun, plan.chunkSize / 4), record);
    Emitter emitter(out, rules, options);
    ChunkReader reader(in, plan.chunkSize);
    Chunk chunk;
    // The first chunk is read here: an input that fits in one chunk never starts a thread.
    do {
        if (const std::error_code error = reader.fill(chunk)) {
            return Finish(emitter, StreamStatus::ReadFailed, error);
        }
        if (plan.threads > 1 && !chunk.last) {
            return RunParallel(reader, std::move(chunk), rewriter, emitter, plan, options.tuning.runner);
        }
        rewriter.rewrite(chunk);
        const StreamStatus status = emitter.emit(chunk);
        if (status != StreamStatus::Completed) {
            return Finish(emitter, status);
        }
    } while (!chunk.last);
    return Finish(emitter, emitter.finish());
}

} // namespace

StreamResult RewriteStream(ByteReader& in, ByteWriter& out, const RewriteRules& rules,
                           const StreamOptions& options) {
    return Run(in, out, rules, options);
}

} // namespace tarvex
