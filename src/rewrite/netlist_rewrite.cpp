// SPDX-License-Identifier: MIT
#include "rewrite/netlist_rewrite.h"

#include "rewrite/chunk_rewrite.h"
#include "rewrite/parallel_rewrite.h"
#include "rewrite/reader_rewrite.h"

#include <algorithm>
#include <thread>
#include <utility>

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
    Emitter(ByteWriter& out, std::span<const RewriteRules> families, const StreamOptions& options)
        : m_out(out), m_families(families), m_options(options) {}

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
                m_options.onDevice(m_report.lines + device.line + 1, ToDeviceEvent(device, m_families));
            }
        }
        m_report.lines += chunk.lines;
        m_report.devicesReplaced += chunk.replaced;
        m_report.devicesMissingName += chunk.missingName;
        m_report.devicesNoBin += chunk.noBin;
        if (!m_report.firstProblem && chunk.firstProblem) {
            m_report.firstProblem = ProblemMessage(ToDeviceEvent(*chunk.firstProblem, m_families));
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
    std::span<const RewriteRules> m_families;
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

StreamResult RunParallel(ChunkReader& reader, Chunk first, const ChunkRewriter& rewriter, Emitter& emitter,
                         const Plan& plan, TaskRunner* runner) {
    Pipeline pipeline(reader, rewriter, plan.threads, plan.inFlight, runner, std::move(first));
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

StreamResult RunClassic(ByteReader& in, ByteWriter& out, std::span<const RewriteRules> families,
                        const StreamOptions& options) {
    const Plan plan = MakePlan(options);
    const ChunkRewriter::Record record = !options.onDevice  ? ChunkRewriter::Record::None
                                         : options.keptOnly ? ChunkRewriter::Record::Kept
                                                            : ChunkRewriter::Record::All;
    const ChunkRewriter rewriter(families, std::min(kDirectRun, plan.chunkSize / 4), record);
    Emitter emitter(out, families, options);
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

StreamResult Run(ByteReader& in, ByteWriter& out, std::span<const RewriteRules> families,
                 const StreamOptions& options) {
    if (options.sizes.rule == SizeRule::Spice) {
        return RewriteStreamSpice(in, out, families, options);
    }
    // The lines of Keys kept for want of a size are noted on the way, so that the caller may tell
    // how many the SPICE rule would read. Only kept devices are heard of, as without it.
    std::vector<std::uint64_t> withoutSize;
    StreamOptions watched = options;
    watched.keptOnly = options.keptOnly || !options.onDevice;
    watched.onDevice = [&withoutSize, &options](std::uint64_t line, const DeviceEvent& event) {
        const bool replaced = event.outcome == DeviceOutcome::Replaced;
        if (!replaced && !(event.hasLength && event.hasWidth)) {
            withoutSize.push_back(line);
        }
        if (options.onDevice && (!replaced || !options.keptOnly)) {
            options.onDevice(line, event);
        }
    };
    StreamResult result = RunClassic(in, out, families, watched);
    result.report.linesWithoutSize = std::move(withoutSize);
    return result;
}

} // namespace

StreamResult RewriteStream(ByteReader& in, ByteWriter& out, const RewriteRules& rules,
                           const StreamOptions& options) {
    return Run(in, out, std::span(&rules, 1), options);
}

StreamResult RewriteStream(ByteReader& in, ByteWriter& out, std::span<const RewriteRules> families,
                           const StreamOptions& options) {
    return Run(in, out, families, options);
}

} // namespace tarvex
