// SPDX-License-Identifier: MIT
// Streaming rewrite of a whole netlist: every line goes through RewriteLine, every other byte passes
// through untouched, and memory stays constant whatever the size of the file.
#pragma once

#include "files/byte_stream.h"
#include "rewrite/line_rewriter.h"
#include "rewrite/size_reader.h"
#include "rewrite/task_runner.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <system_error>
#include <vector>

namespace tarvex {

// Counts of one run and the message for the first device that kept its Key (the only one the
// window shows; the command-line tool lists them all through StreamOptions::onDevice).
struct RunReport {
    std::uint64_t lines = 0;
    std::uint64_t bytesRead = 0;
    std::uint64_t bytesWritten = 0;
    std::uint64_t devicesReplaced = 0;
    std::uint64_t devicesMissingName = 0;
    std::uint64_t devicesNoBin = 0;
    std::uint64_t keysNotOnDevice = 0; // SPICE rule: Keys on lines that are no element, left as they are
    std::optional<std::string> firstProblem;
    // Classic rule: the line of each Key kept for want of a readable "L=" or "W=", in file order, for
    // CountReadAsSpice; and the caller's count of those the SPICE rule reads, for SpiceHint.
    std::vector<std::uint64_t> linesWithoutSize;
    std::uint64_t devicesReadAsSpice = 0;

    std::uint64_t devicesKept() const { return devicesMissingName + devicesNoBin; }
};

enum class StreamStatus { Completed, ReadFailed, WriteFailed, Cancelled };

// Sizes and threads inside the streaming rewrite. The defaults (zero, none) suit files; tests and
// fuzzers choose tiny chunks so that chunk edges fall everywhere.
struct StreamTuning {
    std::size_t chunkSize = 0;      // input bytes per chunk, cut at a line end (a longer line grows it)
    std::size_t chunksInFlight = 0; // chunks read and not yet written, at least 2 when parallel
    TaskRunner* runner = nullptr;   // none: a new thread for each task, joined before returning
};

struct StreamOptions {
    // Called for every Key met, with the 1-based number of its line, in file order: by line, then
    // by family, N before P.
    std::function<void(std::uint64_t line, const DeviceEvent& event)> onDevice;
    // With keptOnly, onDevice hears only of devices that keep their Key: a caller that reports the
    // problems but not every replacement saves a callback per device.
    bool keptOnly = false;
    // Called after each chunk with the bytes read so far; returning false cancels the run.
    std::function<bool(std::uint64_t bytesRead)> onProgress;
    // Threads that rewrite: 0 = one per core, 1 = everything on the calling thread. Either way the
    // callbacks run on the calling thread, in file order, and the output is the same.
    unsigned threads = 0;
    StreamTuning tuning;
    // How sizes are read. The SPICE rule reads the netlist twice: its parameters, subcircuits and
    // scale first, then the devices (an input that cannot be read again, a pipe, is held in memory).
    SizeOptions sizes;
};

struct StreamResult {
    StreamStatus status = StreamStatus::Completed;
    std::error_code error; // why reading or writing failed (ReadFailed, WriteFailed)
    RunReport report;
};

// Rewrites everything in to out. A line ends after "\n", "\r\n" or a lone "\r" (or at the end of the
// input); line ends, a missing final line end, NUL and any other byte survive unchanged, and lines of
// any length are rewritten whole. Only lines holding a Key are parsed; the rest are copied in bulk.
// With more than one thread, the input is cut into chunks of whole lines that worker threads read
// in turn and rewrite side by side, and the calling thread writes them in order and makes every
// callback; an input of one chunk stays on the calling thread. Memory is bounded by the chunks in
// flight and the longest line. out is written only from the calling thread, in is read from one
// thread at a time; out is flushed before returning.
StreamResult RewriteStream(ByteReader& in, ByteWriter& out, const RewriteRules& rules,
                           const StreamOptions& options = {});

// RewriteStream with several families of Keys in one pass (several settings files), each line
// rewritten as RewriteLine for families describes: L and W read once from the line as read, then
// each family's N Key and P Key in turn, each looking at the line as the Keys before it left it.
// Every DeviceEvent names its family by its index in families, and its part name points into that
// family's tables. One family is the run above, at its speed; several take a general path that
// rewrites each line holding any Key whole.
StreamResult RewriteStream(ByteReader& in, ByteWriter& out, std::span<const RewriteRules> families,
                           const StreamOptions& options = {});

// The streaming rewrite with reader finding each device around a Key and reading its sizes once
// (ChunkRewriter's size-reader engine): chunks are cut between devices, so a device and its "+"
// lines are always rewritten together, on any number of threads.
StreamResult RewriteWithReader(ByteReader& in, ByteWriter& out, std::span<const RewriteRules> families,
                               const SizeReader& reader, const StreamOptions& options);

} // namespace tarvex
