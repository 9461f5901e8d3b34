// SPDX-License-Identifier: MIT
#include "rewrite/line_rewriter.h"

#include "bins/engineering_value.h"
#include "rewrite/size_reader.h"
#include "text/byte_scan.h"

namespace tarvex {
namespace {

constexpr std::size_t npos = std::string_view::npos;

// The values after the first "L=" and the first "W=" of the line, 0 for a marker it lacks; the
// flags say whether a number follows each marker ("L={p}" reads as 0 but holds none). Each token is
// at most kNetlistTokenLength bytes, so it may carry the text of following parameters (only a space
// ends what the parser examines).
struct Sizes {
    double length = 0.0;
    double width = 0.0;
    bool hasLength = false;
    bool hasWidth = false;
};

Sizes ReadSizes(std::string_view line) {
    const SizeMarkers markers = FindSizeMarkers(line);
    Sizes sizes;
    if (markers.length != npos) {
        const NetlistValue length = ReadNetlistValue(line.substr(markers.length, kNetlistTokenLength));
        sizes.length = length.value;
        sizes.hasLength = length.hasNumber;
    }
    if (markers.width != npos) {
        const NetlistValue width = ReadNetlistValue(line.substr(markers.width, kNetlistTokenLength));
        sizes.width = width.value;
        sizes.hasWidth = width.hasNumber;
    }
    return sizes;
}

// Where the first P Key stands in the line after the N Key at posN was replaced by name, without
// searching the whole new line: an occurrence lies wholly before the N Key (then it is posP), or
// overlaps the inserted name, or lies wholly after it (then it was in the old line too).
// A name that shares no byte with the P Key cannot be part of one, so its window is not searched.
std::size_t FindPAfterReplacement(std::string_view oldLine, std::string_view newLine, std::size_t posN,
                                  std::size_t posP, std::size_t keyNSize, std::string_view name,
                                  std::string_view keyP, bool nameMayFormKeyP) {
    if (posP != npos && posP + keyP.size() <= posN) {
        return posP;
    }
    if (nameMayFormKeyP) {
        const std::size_t from = posN + 1 > keyP.size() ? posN + 1 - keyP.size() : 0;
        const std::size_t window = posN + name.size() - from + keyP.size() - 1;
        const std::size_t inWindow = newLine.substr(from, window).find(keyP);
        if (inWindow != npos) {
            return from + inWindow;
        }
    }
    if (posP == npos) {
        return npos;
    }
    const std::size_t after = oldLine.find(keyP, posN + keyNSize);
    return after == npos ? npos : after - keyNSize + name.size();
}

// Fills every field of event (it is reused from line to line), with the prepared lookups when
// there are some.
// Sizes is taken by value: the caller has just built it, and reading it back from memory as a
// whole would stall on the separate stores that wrote it.
void Resolve(Polarity polarity, const BinTable& table, const PreparedRules::Table* prepared, Sizes sizes,
             DeviceEvent& event) {
    event.polarity = polarity;
    event.length = sizes.length;
    event.width = sizes.width;
    event.hasLength = sizes.hasLength;
    event.hasWidth = sizes.hasWidth;
    // A size the line does not give is in no bin: the 0 it reads as is no size of the device.
    event.widthBin = sizes.hasWidth ? (prepared ? prepared->width.find(sizes.width)
                                                : FindBin(table.widthBounds, sizes.width))
                                    : std::nullopt;
    event.lengthBin = sizes.hasLength ? (prepared ? prepared->length.find(sizes.length)
                                                  : FindBin(table.lengthBounds, sizes.length))
                                      : std::nullopt;
    event.partName = {};
    if (!event.widthBin || !event.lengthBin) {
        event.outcome = DeviceOutcome::NoBin;
        return;
    }
    event.partName = prepared ? std::string_view(table.partNames[*event.widthBin][*event.lengthBin],
                                                 prepared->nameLength[*event.widthBin][*event.lengthBin])
                              : PartName(table, *event.widthBin, *event.lengthBin);
    event.outcome = event.partName.empty() ? DeviceOutcome::MissingName : DeviceOutcome::Replaced;
}

std::string_view KeyLabel(Polarity polarity) {
    return polarity == Polarity::N ? kDefaultKeyN : kDefaultKeyP;
}

} // namespace

LineRewrite RewriteLine(std::string_view line, const RewriteRules& rules, std::string& out) {
    LineDevices devices;
    RewriteLineAt(line, line.find(rules.keyN), line.find(rules.keyP), rules, nullptr, out, devices);
    LineRewrite result;
    for (int i = 0; i < devices.count; ++i) {
        (devices.events[i].polarity == Polarity::N ? result.n : result.p) = devices.events[i];
    }
    return result;
}

std::vector<DeviceEvent> RewriteLine(std::string_view line, std::span<const RewriteRules> families,
                                     std::string& out) {
    std::vector<DeviceEvent> events;
    if (families.size() == 1) {
        const LineRewrite one = RewriteLine(line, families.front(), out);
        for (const std::optional<DeviceEvent>& event : {one.n, one.p}) {
            if (event) {
                events.push_back(*event);
            }
        }
        return events;
    }
    RewriteLineForFamilies(line, families, {}, out, events);
    return events;
}

PreparedRules::Table::Table(const BinTable& table) : width(table.widthBounds), length(table.lengthBounds) {
    for (int w = 0; w < kBinCount; ++w) {
        for (int l = 0; l < kBinCount; ++l) {
            nameLength[w][l] = static_cast<std::uint8_t>(PartName(table, w, l).size());
        }
    }
}

PreparedRules::PreparedRules(const RewriteRules& rules) : n(rules.tableN), p(rules.tableP) {
    for (int w = 0; w < kBinCount; ++w) {
        for (int l = 0; l < kBinCount; ++l) {
            const std::string_view name = PartName(rules.tableN, w, l);
            nameMayFormKeyP[w][l] =
                rules.keyP.empty() || name.find_first_of(rules.keyP) != std::string_view::npos;
        }
    }
}

void RewriteLineAt(std::string_view line, std::size_t posN, std::size_t posP, const RewriteRules& rules,
                   const PreparedRules* prepared, std::string& out, LineDevices& devices) {
    devices.count = 0;
    if (posN == npos && posP == npos) {
        out.append(line);
        return;
    }

    const Sizes sizes = ReadSizes(line);
    // The common case goes straight into out: the text before the Key, the part name, the rest.
    const auto writeReplaced = [&](std::size_t pos, std::size_t keySize, std::string_view name) {
        out.append(line.substr(0, pos));
        out.append(name);
        out.append(line.substr(pos + keySize));
    };
    if (posN != npos) {
        DeviceEvent& n = devices.events[devices.count++];
        Resolve(Polarity::N, rules.tableN, prepared ? &prepared->n : nullptr, sizes, n);
        if (n.outcome == DeviceOutcome::Replaced) {
            // The P Key is looked for in the line as the N replacement left it, so an inserted N
            // part name that contains the P Key is replaced in turn.
            const std::size_t start = out.size();
            writeReplaced(posN, rules.keyN.size(), n.partName);
            const bool mayFormKeyP = !prepared || prepared->nameMayFormKeyP[*n.widthBin][*n.lengthBin];
            posP = FindPAfterReplacement(line, std::string_view(out).substr(start), posN, posP,
                                         rules.keyN.size(), n.partName, rules.keyP, mayFormKeyP);
            if (posP != npos) {
                DeviceEvent& p = devices.events[devices.count++];
                Resolve(Polarity::P, rules.tableP, prepared ? &prepared->p : nullptr, sizes, p);
                if (p.outcome == DeviceOutcome::Replaced) {
                    out.replace(start + posP, rules.keyP.size(), p.partName);
                }
            }
            return;
        }
    }
    if (posP != npos) {
        DeviceEvent& p = devices.events[devices.count++];
        Resolve(Polarity::P, rules.tableP, prepared ? &prepared->p : nullptr, sizes, p);
        if (p.outcome == DeviceOutcome::Replaced) {
            writeReplaced(posP, rules.keyP.size(), p.partName);
            return;
        }
    }
    out.append(line);
}

void RewriteLineForFamilies(std::string_view line, std::span<const RewriteRules> families,
                            std::span<const PreparedRules> prepared, std::string& out,
                            std::vector<DeviceEvent>& events) {
    events.clear();
    // The line goes out as read and each replacement is made where it stands in out, so that every
    // Key is looked for in the line as the replacements before it left it.
    const std::size_t start = out.size();
    out.append(line);
    std::optional<Sizes> sizes;
    for (std::size_t family = 0; family < families.size(); ++family) {
        const RewriteRules& rules = families[family];
        for (const Polarity polarity : {Polarity::N, Polarity::P}) {
            const bool isN = polarity == Polarity::N;
            const std::string& key = isN ? rules.keyN : rules.keyP;
            const std::size_t pos = std::string_view(out).substr(start).find(key);
            if (pos == npos) {
                continue;
            }
            if (!sizes) {
                sizes = ReadSizes(line);
            }
            const PreparedRules::Table* table =
                prepared.empty() ? nullptr : (isN ? &prepared[family].n : &prepared[family].p);
            DeviceEvent& event = events.emplace_back();
            Resolve(polarity, isN ? rules.tableN : rules.tableP, table, *sizes, event);
            event.family = family;
            if (event.outcome == DeviceOutcome::Replaced) {
                out.replace(start + pos, key.size(), event.partName);
            }
        }
    }
}

std::optional<std::string_view> OnlyKeyReplacement(std::string_view line, Polarity polarity,
                                                   const RewriteRules& rules, const PreparedRules& prepared) {
    const Sizes sizes = ReadSizes(line);
    if (!sizes.hasLength || !sizes.hasWidth) {
        return std::nullopt;
    }
    const bool isN = polarity == Polarity::N;
    const PreparedRules::Table& table = isN ? prepared.n : prepared.p;
    const std::optional<int> w = table.width.find(sizes.width);
    const std::optional<int> l = table.length.find(sizes.length);
    if (!w || !l) {
        return std::nullopt;
    }
    const std::uint8_t length = table.nameLength[*w][*l];
    if (length == 0 || (isN && prepared.nameMayFormKeyP[*w][*l])) {
        return std::nullopt;
    }
    return std::string_view((isN ? rules.tableN : rules.tableP).partNames[*w][*l], length);
}

bool ReplaceFirst(std::string& line, std::string_view pattern, std::string_view replacement) {
    const std::size_t pos = line.find(pattern);
    if (pos == std::string::npos) {
        return false;
    }
    line.replace(pos, pattern.size(), replacement);
    return true;
}

std::optional<std::string> ProblemMessage(const DeviceEvent& event) {
    const std::string label(KeyLabel(event.polarity));
    if (event.outcome == DeviceOutcome::NotADevice) {
        return "Error: " + label + " stands on a line that is not a device!";
    }
    if (event.sizes && event.outcome == DeviceOutcome::NoBin && !event.sizes->problem.empty()) {
        return "Error: " + label + " device has no readable size: " + event.sizes->problem + "!";
    }
    if (event.outcome != DeviceOutcome::Replaced && !(event.hasLength && event.hasWidth)) {
        return "Error: " + label + " device has no readable " + std::string(ProblemLabel(event).substr(3)) +
               "!";
    }
    switch (event.outcome) {
    case DeviceOutcome::Replaced:
        return std::nullopt;
    case DeviceOutcome::MissingName:
        return "Error: Missing " + label + " part name!";
    case DeviceOutcome::NoBin:
        return "Error: No " + label + " bin for L=" + FormatG(event.length) + " W=" + FormatG(event.width) +
               "!";
    case DeviceOutcome::NotADevice:
        break;
    }
    return std::nullopt;
}

std::string_view ProblemLabel(const DeviceEvent& event) {
    if (event.sizes && event.outcome != DeviceOutcome::Replaced && !event.sizes->problem.empty()) {
        return event.sizes->problem;
    }
    if (event.outcome != DeviceOutcome::Replaced && !(event.hasLength && event.hasWidth)) {
        if (!event.hasLength && !event.hasWidth) {
            return "no L= or W=";
        }
        return event.hasLength ? "no W=" : "no L=";
    }
    switch (event.outcome) {
    case DeviceOutcome::Replaced:
        return {};
    case DeviceOutcome::MissingName:
        return "missing part name";
    case DeviceOutcome::NoBin:
        return "no bin";
    case DeviceOutcome::NotADevice:
        return "not a device";
    }
    return {};
}

} // namespace tarvex
