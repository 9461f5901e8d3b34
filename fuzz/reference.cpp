// SPDX-License-Identifier: MIT
#include "reference.h"

#include "c_library.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <optional>

namespace tarvex::fuzz {
namespace {

// The text up to its first NUL, as a C string would end.
std::string CString(std::string_view text) {
    return std::string(text.substr(0, text.find('\0')));
}

// Steps shared by both parsers once the examined text is fixed: "MEG" alone, else each letter.
double ApplySuffixesLiterally(double value, const char* upper) {
    if (std::strstr(upper, "MEG") != nullptr) {
        return value * 1e6;
    }
    static const char kLetters[] = "TGKMUNPF";
    static const double kFactors[] = {1e12, 1e9, 1e3, 1e-3, 1e-6, 1e-9, 1e-12, 1e-15};
    for (std::size_t i = 0; i < 8; ++i) {
        if (std::strchr(upper, kLetters[i]) != nullptr) {
            value *= kFactors[i];
        }
    }
    return value;
}

char UpperAscii(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

// Copies at most 20 bytes after the marker into a zero-filled 50-byte buffer and parses them;
// nothing when the line lacks the marker or strtod finds no number there.
std::optional<double> ValueAfter(const std::string& line, const char* marker) {
    const std::size_t pos = line.find(marker);
    if (pos == std::string::npos) {
        return std::nullopt;
    }
    char buffer[50] = {};
    const std::size_t count = std::min<std::size_t>(20, line.size() - pos - 2);
    std::memcpy(buffer, line.data() + pos + 2, count);
    char* end = nullptr;
    CStrtod(buffer, &end);
    if (end == buffer) {
        return std::nullopt;
    }
    return ReferenceNetlistValue(std::string_view(buffer, sizeof buffer));
}

// Looks up the cell for (length, width) and replaces the first key in line when it has a name. A
// size the line does not give falls into no bin.
DeviceOutcome ReplaceKey(std::string& line, const std::string& key, const BinTable& table,
                         std::optional<double> length, std::optional<double> width) {
    if (!length || !width) {
        return DeviceOutcome::NoBin;
    }
    const std::optional<int> w = FindBin(table.widthBounds, *width);
    const std::optional<int> l = FindBin(table.lengthBounds, *length);
    if (!w || !l) {
        return DeviceOutcome::NoBin;
    }
    const char* cell = table.partNames[*w][*l];
    const std::string name(cell, strnlen(cell, kNameCellSize));
    if (name.empty()) {
        return DeviceOutcome::MissingName;
    }
    const std::size_t pos = line.find(key);
    line = line.substr(0, pos) + name + line.substr(pos + key.size());
    return DeviceOutcome::Replaced;
}

} // namespace

double ReferenceAtof(std::string_view text) {
    const std::string c = CString(text);
    return CStrtod(c.c_str(), nullptr);
}

std::string ReferenceFormatG(double value) {
    return CFormatG(value);
}

double ReferenceNetlistValue(std::string_view token) {
    std::string c = CString(token);
    const double value = ReferenceAtof(c);
    for (std::size_t i = 0; i < c.size(); ++i) {
        if (c[i] == ' ') {
            c[i] = '\0';
            break;
        }
        c[i] = UpperAscii(c[i]);
    }
    return ApplySuffixesLiterally(value, c.c_str());
}

FieldValue ReferenceFieldValue(std::string_view text) {
    std::string c = CString(text.substr(0, 19));
    if (c.empty()) {
        return {0.0, false};
    }
    const double value = ReferenceAtof(c);
    for (char& ch : c) {
        ch = UpperAscii(ch);
    }
    return {ApplySuffixesLiterally(value, c.c_str()), true};
}

bool SameDouble(double a, double b) {
    if (std::isnan(a) || std::isnan(b)) {
        return std::isnan(a) && std::isnan(b) && std::signbit(a) == std::signbit(b);
    }
    return std::memcmp(&a, &b, sizeof a) == 0;
}

std::vector<std::string_view> SplitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            ++i;
        }
        if (text[i] == '\n' || text[i] == '\r') {
            lines.push_back(text.substr(start, i + 1 - start));
            start = i + 1;
        }
    }
    if (start < text.size()) {
        lines.push_back(text.substr(start));
    }
    return lines;
}

ReferenceRun ReferenceRewriteLine(std::string_view text, std::span<const RewriteRules> families) {
    ReferenceRun run;
    run.lines = 1;
    std::string line(text);
    const auto holds = [&](const std::string& key) { return line.find(key) != std::string::npos; };
    bool device = false;
    for (const RewriteRules& rules : families) {
        device = device || holds(rules.keyN) || holds(rules.keyP);
    }
    if (device) {
        const std::optional<double> length = ValueAfter(line, "L=");
        const std::optional<double> width = ValueAfter(line, "W=");
        for (std::size_t family = 0; family < families.size(); ++family) {
            const RewriteRules& rules = families[family];
            if (holds(rules.keyN)) {
                run.events.push_back(
                    {1, family, Polarity::N, ReplaceKey(line, rules.keyN, rules.tableN, length, width)});
            }
            if (holds(rules.keyP)) {
                run.events.push_back(
                    {1, family, Polarity::P, ReplaceKey(line, rules.keyP, rules.tableP, length, width)});
            }
        }
    }
    run.output = std::move(line);
    return run;
}

ReferenceRun ReferenceRewriteLine(std::string_view line, const RewriteRules& rules) {
    return ReferenceRewriteLine(line, std::span(&rules, 1));
}

ReferenceRun ReferenceRewrite(std::string_view netlist, std::span<const RewriteRules> families) {
    ReferenceRun run;
    for (const std::string_view piece : SplitLines(netlist)) {
        ++run.lines;
        const ReferenceRun line = ReferenceRewriteLine(piece, families);
        run.output += line.output;
        for (ReferenceEvent event : line.events) {
            event.line = run.lines;
            run.events.push_back(event);
        }
    }
    return run;
}

ReferenceRun ReferenceRewrite(std::string_view netlist, const RewriteRules& rules) {
    return ReferenceRewrite(netlist, std::span(&rules, 1));
}

} // namespace tarvex::fuzz
