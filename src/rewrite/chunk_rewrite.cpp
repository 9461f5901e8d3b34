// SPDX-License-Identifier: MIT
#include "rewrite/chunk_rewrite.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace tarvex {
namespace {

constexpr std::size_t npos = std::string_view::npos;

bool IsLineEnd(char c) {
    return c == '\n' || c == '\r';
}

// Every Key of the run, N then P for each family; without the empty ones when a size reader reads
// the devices (it only looks for Keys that are there).
std::vector<std::string_view> KeysOf(std::span<const RewriteRules> families, bool nonEmpty = false) {
    std::vector<std::string_view> keys;
    for (const RewriteRules& rules : families) {
        for (const std::string_view key : std::array<std::string_view, 2>{rules.keyN, rules.keyP}) {
            if (!nonEmpty || !key.empty()) {
                keys.push_back(key);
            }
        }
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

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\f' || c == '\v';
}

// Offset of the last line in data[0, size) that starts a device or a directive, after a complete
// line end: its first non-blank byte has been read and is no '+', '*' or line end (a "+" line, or a
// comment or blank line, may still belong to the device before it). 0 when there is none.
std::size_t LastDeviceStart(const char* data, std::size_t size) {
    for (std::size_t j = size; j > 0; --j) {
        const char c = data[j - 1];
        // A "\r" on the last byte may be the start of "\r\n"; before a "\n" it ends no line.
        if (c != '\n' && (c != '\r' || j == size || data[j] == '\n')) {
            continue;
        }
        std::size_t k = j;
        while (k < size && IsBlank(data[k])) {
            ++k;
        }
        if (k < size && data[k] != '+' && data[k] != '*' && !IsLineEnd(data[k])) {
            return j;
        }
    }
    return 0;
}

// Looks the sizes up in the family's table: the outcome, the bins and the part name.
void Resolve(const DeviceSizes& sizes, const BinTable& table, const PreparedRules::Table& lookup,
             DeviceEvent& event) {
    event.sizes = &sizes;
    event.length = sizes.length.value;
    event.width = sizes.widthUsed;
    event.hasLength = sizes.length.readable();
    event.hasWidth = sizes.width.readable();
    if (!sizes.isDevice) {
        event.outcome = DeviceOutcome::NotADevice;
        return;
    }
    if (sizes.problem.empty()) {
        event.widthBin = lookup.width.find(sizes.widthUsed);
        event.lengthBin = lookup.length.find(sizes.length.value);
    }
    if (!event.widthBin || !event.lengthBin) {
        event.outcome = DeviceOutcome::NoBin;
        return;
    }
    event.partName = PartName(table, *event.widthBin, *event.lengthBin);
    event.outcome = event.partName.empty() ? DeviceOutcome::MissingName : DeviceOutcome::Replaced;
}

bool Within(const LogicalLine& device, std::size_t at, std::size_t size) {
    return std::any_of(device.pieces.begin(), device.pieces.end(),
                       [&](const LinePiece& piece) { return at >= piece.begin && at + size <= piece.end; });
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
        complete = m_wholeDevices && !m_atEnd ? LastDeviceStart(chunk.input.get(), size)
                                              : CompleteLinesEnd(chunk.input.get(), scanned, size, m_atEnd);
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
    chunk.offset = m_offset;
    m_offset += complete;
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

ChunkRewriter::ChunkRewriter(std::span<const RewriteRules> families, std::size_t directRun, Record record,
                             const SizeReader& reader)
    : m_families(families), m_keys(KeysOf(families, true)), m_directRun(std::max<std::size_t>(directRun, 1)),
      m_record(record), m_reader(&reader) {
    m_familyRules.reserve(families.size());
    for (const RewriteRules& rules : families) {
        m_familyRules.emplace_back(rules);
    }
    // One family's two Keys are found by the vector scan, as the classic engine finds them.
    if (families.size() == 1 && !families.front().keyN.empty() && !families.front().keyP.empty()) {
        m_scanner.emplace(families.front().keyN, families.front().keyP);
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
    chunk.replaced = chunk.missingName = chunk.noBin = chunk.notADevice = 0;
    chunk.sizes.clear();

    const std::string_view data = chunk.text();
    LineWalk lines(data);
    Output out(chunk, m_directRun);
    const std::size_t pos = m_reader     ? rewriteDevices(chunk, out)
                            : m_prepared ? rewriteOneFamily(chunk, lines, out)
                                         : rewriteFamilies(chunk, lines, out);
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

// Device by device: the search finds the next Key of any family, the reader the device around it
// and its sizes, read once; then each family's N and P Key in the device's lines is looked up and
// replaced where it stands. A Key on a comment or blank line between a device's lines is on no
// device: that line is reported as such and kept.
std::size_t ChunkRewriter::rewriteDevices(Chunk& chunk, Output& out) const {
    struct Replacement {
        std::size_t at;
        std::size_t size;
        std::string_view name;
    };
    const std::string_view data = chunk.text();
    KeySet::Cursor keys = m_keys.in(data);
    // The first position at or after from where a Key of the run begins; from never decreases.
    const auto nextKey = [&](std::size_t from) {
        return m_scanner ? from + m_scanner->find(data.substr(from)) : keys.next(from);
    };
    LogicalLine device;
    DeviceSizes sizes;
    std::vector<DeviceEvent> events;
    std::vector<std::size_t> eventAt; // where each event's Key stands
    std::vector<Replacement> replacements;
    std::vector<std::size_t> found; // per Key of the run, N then P of each family: where it stands
    std::size_t pos = 0;
    std::size_t floor = 0;
    std::size_t counted = 0;       // line ends have been counted in data[0, counted)
    std::uint64_t linesBefore = 0; // line ends in data[0, counted)
    for (std::size_t hit = nextKey(0); hit < data.size(); hit = nextKey(floor)) {
        m_reader->deviceAt(data, floor, hit, device);
        m_reader->read(data, device, chunk.offset, sizes);
        if (!Within(device, hit, 1)) {
            device.begin = LineStartBefore(data, floor, hit);
            device.end = LineEndAfter(data, hit);
            device.pieces.assign(1, {device.begin, device.end});
            sizes = DeviceSizes();
            sizes.isDevice = false;
            sizes.problem = "not a device";
        }
        events.clear();
        eventAt.clear();
        replacements.clear();
        // Each Key's first occurrence in the device's lines. Keys stand nowhere between floor and hit,
        // so the run's search, going on from hit, meets every Key in the device in order.
        found.assign(2 * m_families.size(), npos);
        for (std::size_t at = hit; at < device.end; at = nextKey(at + 1)) {
            for (std::size_t k = 0; k < found.size(); ++k) {
                const RewriteRules& rules = m_families[k / 2];
                const std::string_view key = k % 2 == 0 ? rules.keyN : rules.keyP;
                if (found[k] == npos && !key.empty() && data.substr(at).starts_with(key) &&
                    Within(device, at, key.size())) {
                    found[k] = at;
                }
            }
        }
        for (std::size_t k = 0; k < found.size(); ++k) {
            if (found[k] == npos) {
                continue;
            }
            const std::size_t family = k / 2;
            const Polarity polarity = k % 2 == 0 ? Polarity::N : Polarity::P;
            const RewriteRules& rules = m_families[family];
            const PreparedRules& prepared = m_familyRules[family];
            DeviceEvent& event = events.emplace_back();
            event.family = family;
            event.polarity = polarity;
            if (polarity == Polarity::N) {
                Resolve(sizes, rules.tableN, prepared.n, event);
            } else {
                Resolve(sizes, rules.tableP, prepared.p, event);
            }
            eventAt.push_back(found[k]);
            if (event.outcome == DeviceOutcome::Replaced) {
                replacements.push_back({found[k], (polarity == Polarity::N ? rules.keyN : rules.keyP).size(),
                                        event.partName});
            }
        }
        std::sort(replacements.begin(), replacements.end(),
                  [](const Replacement& a, const Replacement& b) { return a.at < b.at; });
        for (const Replacement& replacement : replacements) {
            if (replacement.at < pos) {
                continue; // overlaps a Key replaced before it
            }
            out.copy(pos, replacement.at);
            chunk.output.append(replacement.name);
            pos = replacement.at + replacement.size;
        }
        const DeviceSizes* kept = nullptr; // the sizes as the chunk keeps them for its events
        for (std::size_t i = 0; i < events.size(); ++i) {
            DeviceEvent& event = events[i];
            bool problem = false;
            switch (event.outcome) {
            case DeviceOutcome::Replaced:
                ++chunk.replaced;
                break;
            case DeviceOutcome::MissingName:
                ++chunk.missingName;
                problem = true;
                break;
            case DeviceOutcome::NoBin:
                ++chunk.noBin;
                problem = true;
                break;
            case DeviceOutcome::NotADevice:
                ++chunk.notADevice;
                break;
            }
            const bool wanted = m_record == Record::All || (m_record == Record::Kept && problem);
            if (!wanted && !(problem && !chunk.firstProblem)) {
                continue;
            }
            if (kept == nullptr) {
                kept = &chunk.sizes.emplace_back(sizes);
            }
            event.sizes = kept;
            if (problem && !chunk.firstProblem) {
                chunk.firstProblem = event;
            }
            if (wanted) {
                linesBefore += CountLineEnds(data.substr(counted, device.begin - counted));
                counted = device.begin;
                const std::uint64_t line =
                    linesBefore + CountLineEnds(data.substr(device.begin, eventAt[i] - device.begin));
                chunk.devices.push_back({line, event});
            }
        }
        floor = device.end;
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
    case DeviceOutcome::NotADevice: // only size readers find these (rewriteDevices)
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
