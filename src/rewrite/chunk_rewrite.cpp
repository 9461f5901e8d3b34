// SPDX-License-Identifier: MIT
#include "rewrite/chunk_rewrite.h"

#include <algorithm>
#include <cstring>

namespace tarvex {
namespace {

bool IsLineEnd(char c) {
    return c == '\n' || c == '\r';
}

// Every Key of the run, N then P for each family.
std::vector<std::string_view> KeysOf(std::span<const RewriteRules> families) {
    std::vector<std::string_view> keys;
    for (const RewriteRules& rules : families) {
        keys.push_back(rules.keyN);
        keys.push_back(rules.keyP);
    }
    return keys;
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

DeviceEvent ToDeviceEvent(const ChunkDevice& device, std::span<const RewriteRules> families) {
    DeviceEvent event;
    event.family = device.family;
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
        const RewriteRules& rules = families[device.family];
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

// A chunk's output as it is built: runs of lines without a Key copied, or for a long run
// referenced, as they are; and the number of the line that starts at an offset, counted on demand.
class ChunkRewriter::Output {
public:
    Output(Chunk& chunk, std::size_t directRun)
        : m_chunk(chunk), m_data(chunk.text()), m_directRun(directRun) {}

    void copy(std::size_t from, std::size_t to) {
        if (to - from >= m_directRun) {
            m_chunk.direct.push_back({m_chunk.output.size(), from, to - from});
        } else {
            m_chunk.output.append(m_data.substr(from, to - from));
        }
    }

    // The 0-based number of the line that starts at start; each call asks for the same offset or a
    // later one. The line ends are counted in pieces up to it; a piece always ends at the start of
    // a line, so it never splits "\r\n".
    std::uint64_t lineAt(std::size_t start) {
        if (m_countedTo < start) {
            m_lines += CountLineEnds(m_data.substr(m_countedTo, start - m_countedTo));
            m_countedTo = start;
        }
        return m_lines;
    }

private:
    Chunk& m_chunk;
    std::string_view m_data;
    std::size_t m_directRun;
    std::uint64_t m_lines = 0;
    std::size_t m_countedTo = 0;
};

ChunkRewriter::ChunkRewriter(std::span<const RewriteRules> families, std::size_t directRun, Record record)
    : m_families(families),
      m_anyKey(families.size() == 1 ? std::vector<std::string_view>() : KeysOf(families)),
      m_directRun(std::max<std::size_t>(directRun, 1)), m_record(record) {
    if (families.size() == 1) {
        m_prepared.emplace(families.front());
        m_scanner.emplace(families.front().keyN, families.front().keyP);
    } else {
        m_familyRules.reserve(families.size());
        for (const RewriteRules& rules : families) {
            m_familyRules.emplace_back(rules);
        }
    }
}

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
    // The chunk's line ends are counted first, in one sequential pass that also brings the chunk
    // into the core's cache before the irregular work on its device lines.
    const std::uint64_t chunkLines = CountLineEnds(data);
    Output out(chunk, m_directRun);
    const std::size_t pos = m_scanner ? rewriteOneFamily(chunk, out) : rewriteFamilies(chunk, out);
    out.copy(pos, data.size());
    chunk.lines = chunkLines + (chunk.last && !data.empty() && !IsLineEnd(data.back()) ? 1 : 0);
}

std::size_t ChunkRewriter::rewriteOneFamily(Chunk& chunk, Output& out) const {
    const RewriteRules& rules = m_families.front();
    const PreparedRules& prepared = *m_prepared;
    const KeyScanner& scanner = *m_scanner;
    const std::string_view data = chunk.text();
    std::size_t pos = 0;
    const auto nextKey = [&](std::size_t from) { return from + scanner.find(data.substr(from)); };
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
            keys = scanner.keysAt(data, hit, end);
            // The usual device line: one Key, replaced. The text since the last change goes out
            // in one piece up to the Key, then the part name; the rest of the line waits for the
            // next piece.
            if (m_record != Record::All && (keys.n == hit) != (keys.p == hit)) {
                const Polarity polarity = keys.n == hit ? Polarity::N : Polarity::P;
                if (const std::optional<std::string_view> name =
                        OnlyKeyReplacement(line, polarity, rules, prepared)) {
                    out.copy(pos, hit);
                    chunk.output.append(*name);
                    ++chunk.replaced;
                    pos = hit + (polarity == Polarity::N ? rules.keyN.size() : rules.keyP.size());
                    hit = next;
                    continue;
                }
            }
            keys.n = keys.n == hit ? hit - start : std::string_view::npos;
            keys.p = keys.p == hit ? hit - start : std::string_view::npos;
        } else {
            keys = scanner.firstOfEach(line, hit - start);
            next = nextKey(end);
        }
        out.copy(pos, start);
        RewriteLineAt(line, keys.n, keys.p, rules, &prepared, chunk.output, devices);
        for (int i = 0; i < devices.count; ++i) {
            const DeviceEvent& event = devices.events[i];
            record(chunk, wanted(event) ? out.lineAt(start) : 0, event);
        }
        pos = end;
        hit = next;
    }
    return pos;
}

// Line by line: the scan finds the next line that holds a Key of any family, and the line is
// rewritten whole, so every later Key sees the part names put in by the Keys before it.
std::size_t ChunkRewriter::rewriteFamilies(Chunk& chunk, Output& out) const {
    const std::string_view data = chunk.text();
    std::vector<DeviceEvent> events;
    std::size_t pos = 0;
    for (std::size_t hit = m_anyKey.find(data); hit < data.size();) {
        const std::size_t start = LineStartBefore(data, pos, hit);
        const std::size_t end = LineEndAfter(data, hit);
        out.copy(pos, start);
        RewriteLineForFamilies(data.substr(start, end - start), m_families, m_familyRules, chunk.output,
                               events);
        for (const DeviceEvent& event : events) {
            record(chunk, wanted(event) ? out.lineAt(start) : 0, event);
        }
        pos = end;
        hit = end + m_anyKey.find(data.substr(end));
    }
    return pos;
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
    case DeviceOutcome::NotADevice: // only the SPICE rule finds these, and it has an engine of its own
        ++chunk.noBin;
        break;
    }
    ChunkDevice device;
    device.line = lineIndex;
    device.family = event.family;
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
