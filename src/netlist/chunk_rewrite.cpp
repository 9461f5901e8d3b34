// SPDX-License-Identifier: MIT
#include "netlist/chunk_rewrite.h"

#include <algorithm>
#include <cstring>

namespace tarvex {
namespace {

bool IsLineEnd(char c) {
    return c == '\n' || c == '\r';
}

// Offset just past the last complete line end in data[0, size), looking no further back than from;
// 0 when there is none. A "\r" on the last byte may be the start of "\r\n", so it only counts at
// the end of the input.
std::size_t CompleteLinesEnd(const char* data, std::size_t from, std::size_t size, bool atEnd) {
    if (atEnd) {
        return size;
    }
    for (std::size_t j = size; j > from; --j) {
        const char c = data[j - 1];
        if (c == '\n' || (c == '\r' && j < size)) {
            return j;
        }
    }
    return 0;
}

} // namespace

DeviceEvent ToDeviceEvent(const ChunkDevice& device, const RewriteRules& rules) {
    DeviceEvent event;
    event.polarity = device.polarity;
    event.outcome = device.outcome;
    event.length = device.length;
    event.width = device.width;
    event.hasLength = device.hasLength;
    event.hasWidth = device.hasWidth;
    if (device.widthBin >= 0) {
        event.widthBin = device.widthBin;
    }
    if (device.lengthBin >= 0) {
        event.lengthBin = device.lengthBin;
    }
    if (device.outcome == DeviceOutcome::Replaced) {
        const BinTable& table = device.polarity == Polarity::N ? rules.tableN : rules.tableP;
        event.partName = {table.partNames[device.widthBin][device.lengthBin], device.nameLength};
    }
    return event;
}

std::error_code ChunkReader::fill(Chunk& chunk) {
    const std::size_t wanted = std::max(m_chunkSize, m_carry.size() + 1);
    if (chunk.capacity < wanted || chunk.capacity > 2 * wanted) {
        // A chunk that grew for a long line goes back to the normal size afterwards.
        chunk.input = std::make_unique_for_overwrite<char[]>(wanted);
        chunk.capacity = wanted;
    }
    std::size_t size = m_carry.size();
    std::memcpy(chunk.input.get(), m_carry.data(), size);
    m_carry.clear();
    // Only a held-back "\r" can end the carried bytes; everything before it has been looked at.
    std::size_t scanned = size > 0 ? size - 1 : 0;
    std::size_t complete = 0;
    for (;;) {
        while (size < chunk.capacity && !m_atEnd) {
            const ReadResult read = m_in.read({chunk.input.get() + size, chunk.capacity - size});
            if (read.error) {
                return read.error;
            }
            m_atEnd = read.size == 0;
            size += read.size;
            m_bytesRead += read.size;
        }
        complete = CompleteLinesEnd(chunk.input.get(), scanned, size, m_atEnd);
        if (complete > 0 || m_atEnd) {
            break;
        }
        // No line ends in the whole chunk: grow it for the rest of the line.
        scanned = size - 1;
        const std::size_t grown = chunk.capacity * 2;
        auto bigger = std::make_unique_for_overwrite<char[]>(grown);
        std::memcpy(bigger.get(), chunk.input.get(), size);
        chunk.input = std::move(bigger);
        chunk.capacity = grown;
    }
    m_carry.assign(chunk.input.get() + complete, size - complete);
    chunk.size = complete;
    chunk.last = m_atEnd;
    chunk.bytesRead = m_bytesRead;
    return {};
}

ChunkRewriter::ChunkRewriter(const RewriteRules& rules, std::size_t directRun, Record record)
    : m_rules(rules), m_prepared(rules), m_scanner(rules.keyN, rules.keyP),
      m_directRun(std::max<std::size_t>(directRun, 1)), m_record(record) {}

bool ChunkRewriter::wanted(const DeviceEvent& event) const {
    return m_record == Record::All || (m_record == Record::Kept && event.outcome != DeviceOutcome::Replaced);
}

void ChunkRewriter::rewrite(Chunk& chunk) const {
    // Room for the lines and longer part names, allocated once per chunk buffer; an output that grew
    // for a long line is given back.
    const std::size_t room = chunk.size + chunk.size / 8;
    if (chunk.output.capacity() > 2 * room + (std::size_t{1} << 20)) {
        std::string().swap(chunk.output);
    }
    chunk.output.clear();
    chunk.output.reserve(room);
    chunk.direct.clear();
    chunk.devices.clear();
    chunk.firstProblem.reset();
    chunk.replaced = chunk.missingName = chunk.noBin = 0;

    const std::string_view data = chunk.text();
    // Lines without a Key are copied, or for a long run referenced, as they are.
    const auto copy = [&](std::size_t from, std::size_t to) {
        if (to - from >= m_directRun) {
            chunk.direct.push_back({chunk.output.size(), from, to - from});
        } else {
            chunk.output.append(data.substr(from, to - from));
        }
    };
    // The chunk's line ends are counted first, in one sequential pass that also brings the chunk
    // into the core's cache before the irregular work on its device lines. The number of a
    // recorded device's line is counted again in pieces up to it; a piece always ends at the start
    // of a line, so it never splits "\r\n".
    const std::uint64_t chunkLines = CountLineEnds(data);
    std::uint64_t lines = 0;
    std::size_t countedTo = 0;
    std::size_t pos = 0;
    const auto nextKey = [&](std::size_t from) { return from + m_scanner.find(data.substr(from)); };
    std::size_t hit = nextKey(0);
    LineDevices devices;
    while (hit < data.size()) {
        const std::size_t start = LineStartBefore(data, pos, hit);
        const std::size_t end = LineEndAfter(data, hit);
        // The scan goes on past the Key: the next Key found is either on this line (a second one,
        // looked at with the line) or the next device line's.
        std::size_t next = nextKey(hit + 1);
        const std::string_view line = data.substr(start, end - start);
        KeyPositions keys;
        if (next >= end) {
            keys = m_scanner.keysAt(data, hit, end);
            // The usual device line: one Key, replaced. The text since the last change goes out
            // in one piece up to the Key, then the part name; the rest of the line waits for the
            // next piece.
            if (m_record != Record::All && (keys.n == hit) != (keys.p == hit)) {
                const Polarity polarity = keys.n == hit ? Polarity::N : Polarity::P;
                if (const std::optional<std::string_view> name =
                        OnlyKeyReplacement(line, polarity, m_rules, m_prepared)) {
                    copy(pos, hit);
                    chunk.output.append(*name);
                    ++chunk.replaced;
                    pos = hit + (polarity == Polarity::N ? m_rules.keyN.size() : m_rules.keyP.size());
                    hit = next;
                    continue;
                }
            }
            keys.n = keys.n == hit ? hit - start : std::string_view::npos;
            keys.p = keys.p == hit ? hit - start : std::string_view::npos;
        } else {
            keys = m_scanner.firstOfEach(line, hit - start);
            next = nextKey(end);
        }
        copy(pos, start);
        RewriteLineAt(line, keys.n, keys.p, m_rules, &m_prepared, chunk.output, devices);
        for (int i = 0; i < devices.count; ++i) {
            const DeviceEvent& event = devices.events[i];
            if (wanted(event) && countedTo < start) {
                lines += CountLineEnds(data.substr(countedTo, start - countedTo));
                countedTo = start;
            }
            record(chunk, lines, event);
        }
        pos = end;
        hit = next;
    }
    copy(pos, data.size());
    chunk.lines = chunkLines + (chunk.last && !data.empty() && !IsLineEnd(data.back()) ? 1 : 0);
}

void ChunkRewriter::record(Chunk& chunk, std::uint64_t lineIndex, const DeviceEvent& event) const {
    switch (event.outcome) {
    case DeviceOutcome::Replaced:
        ++chunk.replaced;
        if (m_record != Record::All) {
            return;
        }
        break;
    case DeviceOutcome::MissingName:
        ++chunk.missingName;
        break;
    case DeviceOutcome::NoBin:
        ++chunk.noBin;
        break;
    }
    ChunkDevice device;
    device.line = lineIndex;
    device.length = event.length;
    device.width = event.width;
    device.polarity = event.polarity;
    device.outcome = event.outcome;
    device.widthBin = static_cast<std::int8_t>(event.widthBin.value_or(-1));
    device.lengthBin = static_cast<std::int8_t>(event.lengthBin.value_or(-1));
    device.nameLength = static_cast<std::uint8_t>(event.partName.size());
    device.hasLength = event.hasLength;
    device.hasWidth = event.hasWidth;
    if (event.outcome != DeviceOutcome::Replaced && !chunk.firstProblem) {
        chunk.firstProblem = device;
    }
    if (m_record != Record::None) {
        chunk.devices.push_back(device);
    }
}

} // namespace tarvex
