// SPDX-License-Identifier: MIT
#include "rewrite/chunk_rewrite.h"

#include <algorithm>
#include <cstring>

namespace tarvex {
namespace {

constexpr std::size_t npos = std::string_view::npos;

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

Result<void> ChunkReader::fill(Chunk& chunk) {
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
                return Fail(read.error);
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

// A chunk's output as it is built: runs of lines without a Key copied, or for a long run referenced,
// as they are.
class ChunkRewriter::Output {
public:
    Output(Chunk& chunk, std::size_t directRun) : m_chunk(chunk), m_directRun(directRun) {}

    void copy(std::size_t from, std::size_t to) {
        if (to - from >= m_directRun) {
            m_chunk.direct.push_back({m_chunk.output.size(), from, to - from});
        } else {
            m_chunk.output.append(m_chunk.text().substr(from, to - from));
        }
    }

private:
    Chunk& m_chunk;
    std::size_t m_directRun;
};

ChunkRewriter::ChunkRewriter(std::span<const RewriteRules> families, std::size_t directRun, Record record)
    : m_families(families), m_keys(KeysOf(families)), m_directRun(std::max<std::size_t>(directRun, 1)),
      m_record(record) {
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
    LineWalk lines(data);
    Output out(chunk, m_directRun);
    const std::size_t pos =
        m_prepared ? rewriteOneFamily(chunk, lines, out) : rewriteFamilies(chunk, lines, out);
    out.copy(pos, data.size());
    chunk.lines = lines.lineEnds() + (chunk.last && !data.empty() && !IsLineEnd(data.back()) ? 1 : 0);
}

std::size_t ChunkRewriter::rewriteOneFamily(Chunk& chunk, LineWalk& lines, Output& out) const {
    const RewriteRules& rules = m_families.front();
    const std::string_view data = chunk.text();
    const auto nextKey = [&](std::size_t from) { return from + m_scanner->find(data.substr(from)); };
    std::size_t pos = 0;
    for (std::size_t hit = nextKey(0); hit < data.size();) {
        const LineWalk::Line line = lines.lineAt(hit);
        // The search goes on past the Key: the next Key found is either on this line (a second one,
        // looked at with the line) or the next device line's.
        const std::size_t next = nextKey(hit + 1);
        const std::string_view text = data.substr(line.start, line.end - line.start);
        if (next < line.end) {
            out.copy(pos, line.start);
            rewriteLine(chunk, lines, line, text.find(rules.keyN, hit - line.start),
                        text.find(rules.keyP, hit - line.start));
            pos = line.end;
            hit = nextKey(line.end);
            continue;
        }
        const std::string_view rest = data.substr(hit, line.end - hit);
        const bool isN = rest.starts_with(rules.keyN);
        const bool isP = rest.starts_with(rules.keyP);
        // The usual device line: one Key, replaced. The text since the last change goes out in one
        // piece up to the Key, then the part name; the rest of the line waits for the next piece.
        if (m_record != Record::All && isN != isP) {
            const Polarity polarity = isN ? Polarity::N : Polarity::P;
            if (const std::optional<std::string_view> name =
                    OnlyKeyReplacement(text, polarity, rules, *m_prepared)) {
                out.copy(pos, hit);
                chunk.output.append(*name);
                ++chunk.replaced;
                pos = hit + (isN ? rules.keyN.size() : rules.keyP.size());
                hit = next;
                continue;
            }
        }
        out.copy(pos, line.start);
        rewriteLine(chunk, lines, line, isN ? hit - line.start : npos, isP ? hit - line.start : npos);
        pos = line.end;
        hit = next;
    }
    return pos;
}

void ChunkRewriter::rewriteLine(Chunk& chunk, LineWalk& lines, const LineWalk::Line& line, std::size_t posN,
                                std::size_t posP) const {
    LineDevices devices;
    RewriteLineAt(chunk.text().substr(line.start, line.end - line.start), posN, posP, m_families.front(),
                  &*m_prepared, chunk.output, devices);
    for (int i = 0; i < devices.count; ++i) {
        record(chunk, lines, line, devices.events[i]);
    }
}

// Line by line: the search finds the next line that holds a Key of any family, and the line is
// rewritten whole, so every later Key sees the part names put in by the Keys before it.
std::size_t ChunkRewriter::rewriteFamilies(Chunk& chunk, LineWalk& lines, Output& out) const {
    const std::string_view data = chunk.text();
    KeySet::Cursor keys = m_keys.in(data);
    std::vector<DeviceEvent> events;
    std::size_t pos = 0;
    for (std::size_t hit = keys.next(0); hit < data.size(); hit = keys.next(pos)) {
        const LineWalk::Line line = lines.lineAt(hit);
        out.copy(pos, line.start);
        RewriteLineForFamilies(data.substr(line.start, line.end - line.start), m_families, m_familyRules,
                               chunk.output, events);
        for (const DeviceEvent& event : events) {
            record(chunk, lines, line, event);
        }
        pos = line.end;
    }
    return pos;
}

void ChunkRewriter::record(Chunk& chunk, LineWalk& lines, const LineWalk::Line& line,
                           const DeviceEvent& event) const {
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
    if (event.outcome != DeviceOutcome::Replaced && !chunk.firstProblem) {
        chunk.firstProblem = event;
    }
    if (m_record != Record::None) {
        chunk.devices.push_back({lines.number(line), event});
    }
}

} // namespace tarvex
