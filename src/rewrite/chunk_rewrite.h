// SPDX-License-Identifier: MIT
// The unit of work of the streaming rewrite: a run of complete lines cut from the input, rewritten
// on its own (on any thread) into its own output, with what happened to its devices kept so that
// the thread that writes the chunk can report them in file order.
#pragma once

#include "files/byte_stream.h"
#include "rewrite/line_rewriter.h"
#include "rewrite/size_reader.h"
#include "text/byte_scan.h"
#include "text/key_search.h"
#include "text/result.h"

#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tarvex {

struct Chunk {
    // Input: complete lines in input[0, size), and whether they end the input (the last line may
    // then lack a line end). bytesRead counts the input read up to and including this chunk.
    std::unique_ptr<char[]> input;
    std::size_t capacity = 0;
    std::size_t size = 0;
    bool last = false;
    std::uint64_t bytesRead = 0;
    std::uint64_t offset = 0; // where input[0] stands in the whole input

    // Result: output, with runs of input to be written as they are after output[0, outputAt).
    struct DirectRun {
        std::size_t outputAt;
        std::size_t from;
        std::size_t size;
    };
    std::string output;
    std::vector<DirectRun> direct;
    std::uint64_t lines = 0; // lines ended in this chunk (plus an unterminated last line)
    std::uint64_t replaced = 0;
    std::uint64_t missingName = 0;
    std::uint64_t noBin = 0;
    std::uint64_t notADevice = 0; // Keys on lines that are no element (size readers only)
    // A device with the 0-based number of its line within the chunk.
    struct Device {
        std::uint64_t line;
        DeviceEvent event;
    };
    std::optional<DeviceEvent> firstProblem;
    std::vector<Device> devices; // every device, when asked for
    // The sizes that the events above point to, as a size reader read them (a deque, so that they
    // stay where they are while more are added).
    std::deque<DeviceSizes> sizes;

    std::string_view text() const { return {input.get(), size}; }
};

// Cuts the input into chunks of at least chunkSize bytes (unless the input ends sooner) that end
// just after a line end. The bytes after the last line end wait for the next chunk; a "\r" on the
// last byte read also waits, since it may be the start of "\r\n". A line longer than the chunk
// grows it until the line's end has been read. With wholeDevices, a chunk is only cut before a line
// whose first non-blank byte starts an element or a directive (not '+', '*' or a blank line), so a
// device and its "+" lines always share a chunk.
class ChunkReader {
public:
    ChunkReader(ByteReader& in, std::size_t chunkSize, bool wholeDevices = false)
        : m_in(in), m_chunkSize(chunkSize), m_wholeDevices(wholeDevices) {}

    // Fills chunk with the next lines; the reader's error when a read failed. After a chunk marked
    // last there is nothing more to read.
    Result<void> fill(Chunk& chunk);

private:
    ByteReader& m_in;
    std::size_t m_chunkSize;
    bool m_wholeDevices;
    std::string m_carry; // bytes read after the last complete line
    bool m_atEnd = false;
    std::uint64_t m_bytesRead = 0;
    std::uint64_t m_offset = 0; // where the next chunk starts in the input
};

// Rewrites chunks; const and shared by all threads of a run.
class ChunkRewriter {
public:
    // Which devices are kept in Chunk::devices.
    enum class Record { None, Kept, All };

    // The rules of the run, one per family of Keys, are kept by the caller while the rewriter
    // lives. Runs of at least directRun bytes without a Key are not copied into the output but
    // written straight from the input. Record::Kept keeps the devices that keep their Key,
    // Record::All every device.
    ChunkRewriter(std::span<const RewriteRules> families, std::size_t directRun, Record record);
    // Reads every device's sizes through reader, kept by the caller (the chunks must come from a
    // ChunkReader cutting at whole devices): each device that holds a Key is read once, and each
    // family's N and P Key in its lines replaced where it stands.
    ChunkRewriter(std::span<const RewriteRules> families, std::size_t directRun, Record record,
                  const SizeReader& reader);

    // Rewrites chunk's lines into its output and fills in its counts.
    void rewrite(Chunk& chunk) const;

private:
    class Output;

    // The device lines of chunk, one family's or several families'; the offset up to which the
    // input has been written.
    std::size_t rewriteOneFamily(Chunk& chunk, LineWalk& lines, Output& out) const;
    std::size_t rewriteFamilies(Chunk& chunk, LineWalk& lines, Output& out) const;
    std::size_t rewriteDevices(Chunk& chunk, Output& out) const;
    // The general rewrite of a device line of the one family, whose first Keys are at posN and
    // posP of the chunk (npos for a Key the line lacks), with its devices recorded.
    void rewriteLine(Chunk& chunk, LineWalk& lines, const LineWalk::Line& line, std::size_t posN,
                     std::size_t posP) const;
    // Counts a device of line, and keeps it (with its line's number) when it is asked for.
    void record(Chunk& chunk, LineWalk& lines, const LineWalk::Line& line, const DeviceEvent& event) const;

    std::span<const RewriteRules> m_families;
    KeySet m_keys; // every Key of the run, searched for when there are several families
    // One family, the usual run: its lookups, which find the usual device line's part name and
    // put it in without looking at the line again, and the vector scan for its two Keys (faster
    // than the library's search for one family, as fast for several).
    std::optional<PreparedRules> m_prepared;
    std::optional<KeyScanner> m_scanner;
    // Any other number of families: the lookups of each, and each device line rewritten by
    // RewriteLineForFamilies.
    std::vector<PreparedRules> m_familyRules;
    std::size_t m_directRun;
    Record m_record;
    const SizeReader* m_reader = nullptr;
};

} // namespace tarvex
