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
    Emitter(ByteWriter& out, const StreamOptions& options) : m_out(out), m_options(options) {}

    // Completed to go on or Cancelled; the failure of a write.
    Result<StreamStatus> emit(const Chunk& chunk) {
        if (Result<void> written = writeOutput(chunk); !written) {
            return Fail(written.code());
        }
        if (m_options.onDevice) {
            for (const Chunk::Device& device : chunk.devices) {
                m_options.onDevice(m_report.lines + device.line + 1, device.event);
            }
        }
        m_report.lines += chunk.lines;
        m_report.devicesReplaced += chunk.replaced;
        m_report.devicesMissingName += chunk.missingName;
        m_report.devicesNoBin += chunk.noBin;
        m_report.keysNotOnDevice += chunk.notADevice;
        if (!m_report.firstProblem && chunk.firstProblem) {
            m_report.firstProblem = ProblemMessage(*chunk.firstProblem);
        }
        m_report.bytesRead = chunk.bytesRead;
        if (m_options.onProgress && !m_options.onProgress(chunk.bytesRead)) {
            return StreamStatus::Cancelled;
        }
        return StreamStatus::Completed;
    }

    // At the end of the input: flushes out.
    Result<void> finish() {
        if (const std::error_code error = m_out.flush()) {
            return Fail(error);
        }
        return {};
    }

    // The run's result: its status, the error of a failed read or write, and the report.
    StreamResult result(StreamStatus status, std::error_code error = {}) {
        StreamResult result;
        result.status = status;
        result.error = error;
        result.report = std::move(m_report);
        return result;
    }

private:
    // The chunk's output, with its runs written straight from the input where they fall.
    Result<void> writeOutput(const Chunk& chunk) {
        const std::string_view output = chunk.output;
        std::size_t at = 0;
        for (const Chunk::DirectRun& run : chunk.direct) {
            if (Result<void> written = write(output.substr(at, run.outputAt - at)); !written) {
                return written;
            }
            if (Result<void> written = write(chunk.text().substr(run.from, run.size)); !written) {
                return written;
            }
            at = run.outputAt;
        }
        return write(output.substr(at));
    }

    Result<void> write(std::string_view bytes) {
        if (bytes.empty()) {
            return {};
        }
        m_report.bytesWritten += bytes.size();
        if (const std::error_code error = m_out.write(bytes)) {
            return Fail(error);
        }
        return {};
    }

    ByteWriter& m_out;
    const StreamOptions& m_options;
    RunReport m_report;
};

// The run's result once the input has been written whole: completed, unless the flush failed.
StreamResult Finish(Emitter& emitter) {
    const Result<void> flushed = emitter.finish();
    return flushed ? emitter.result(StreamStatus::Completed)
                   : emitter.result(StreamStatus::WriteFailed, flushed.code());
}

StreamResult RunParallel(ChunkReader& reader, Chunk first, const ChunkRewriter& rewriter, Emitter& emitter,
                         const Plan& plan, TaskRunner* runner) {
    Pipeline pipeline(reader, rewriter, plan.threads, plan.inFlight, runner, std::move(first));
    while (Pipeline::Slot* slot = pipeline.next()) {
        const Result<StreamStatus> emitted = emitter.emit(slot->chunk);
        if (!emitted) {
            return emitter.result(StreamStatus::WriteFailed, emitted.code());
        }
        if (*emitted != StreamStatus::Completed) {
            return emitter.result(*emitted);
        }
        pipeline.recycle(slot);
    }
    if (const Result<void>& read = pipeline.readResult(); !read) {
        return emitter.result(StreamStatus::ReadFailed, read.code());
    }
    return Finish(emitter);
}

// The streaming run, with the classic engine, or with reader reading each device's sizes (the chunks
// are then cut between devices).
StreamResult RunChunks(ByteReader& in, ByteWriter& out, std::span<const RewriteRules> families,
                       const StreamOptions& options, const SizeReader* sizeReader) {
    const Plan plan = MakePlan(options);
    const ChunkRewriter::Record record = !options.onDevice  ? ChunkRewriter::Record::None
                                         : options.keptOnly ? ChunkRewriter::Record::Kept
                                                            : ChunkRewriter::Record::All;
    const std::size_t directRun = std::min(kDirectRun, plan.chunkSize / 4);
    const ChunkRewriter rewriter = sizeReader != nullptr ? ChunkRewriter(families, directRun, record, *sizeReader)
                                                         : ChunkRewriter(families, directRun, record);
    Emitter emitter(out, options);
    ChunkReader reader(in, plan.chunkSize, sizeReader != nullptr);
    Chunk chunk;
    // The first chunk is read here: an input that fits in one chunk never starts a thread.
    do {
        if (const Result<void> read = reader.fill(chunk); !read) {
            return emitter.result(StreamStatus::ReadFailed, read.code());
        }
        if (plan.threads > 1 && !chunk.last) {
            return RunParallel(reader, std::move(chunk), rewriter, emitter, plan, options.tuning.runner);
        }
        rewriter.rewrite(chunk);
        const Result<StreamStatus> emitted = emitter.emit(chunk);
        if (!emitted) {
            return emitter.result(StreamStatus::WriteFailed, emitted.code());
        }
        if (*emitted != StreamStatus::Completed) {
            return emitter.result(*emitted);
        }
    } while (!chunk.last);
    return Finish(emitter);
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
    StreamResult result = RunChunks(in, out, families, watched, nullptr);
    result.report.linesWithoutSize = std::move(withoutSize);
    return result;
}

} // namespace

StreamResult RewriteWithReader(ByteReader& in, ByteWriter& out, std::span<const RewriteRules> families,
                               const SizeReader& reader, const StreamOptions& options) {
    return RunChunks(in, out, families, options, &reader);
}

StreamResult RewriteStream(ByteReader& in, ByteWriter& out, const RewriteRules& rules,
                           const StreamOptions& options) {
    return Run(in, out, std::span(&rules, 1), options);
}

StreamResult RewriteStream(ByteReader& in, ByteWriter& out, std::span<const RewriteRules> families,
                           const StreamOptions& options) {
    return Run(in, out, families, options);
}

} // namespace tarvex
