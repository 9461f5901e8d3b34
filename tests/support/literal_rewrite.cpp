// SPDX-License-Identifier: MIT
#include "support/literal_rewrite.h"

#include "bins/engineering_value.h"

#include <algorithm>
#include <optional>
#include <utility>

namespace tarvex::test {
namespace {

// The value after the marker, or nothing when the line lacks it or no number follows it.
std::optional<double> ValueAfter(const std::string& line, const char* marker) {
    const std::size_t pos = line.find(marker);
    if (pos == std::string::npos) {
        return std::nullopt;
    }
    const std::string token = line.substr(pos + 2, kNetlistTokenLength);
    if (!StartsWithNumber(token)) {
        return std::nullopt;
    }
    return ParseNetlistValue(token);
}

void ReplaceKey(std::string& line, const std::string& key, const BinTable& table,
                std::optional<double> length, std::optional<double> width) {
    if (!length || !width) {
        return;
    }
    const auto w = FindBin(table.widthBounds, *width);
    const auto l = FindBin(table.lengthBounds, *length);
    if (w && l && !PartName(table, *w, *l).empty()) {
        ReplaceFirst(line, key, PartName(table, *w, *l));
    }
}

} // namespace

std::string LiteralRewriteLine(std::string line, const RewriteRules& rules) {
    return LiteralRewriteLine(std::move(line), std::span(&rules, 1));
}

std::string LiteralRewriteLine(std::string line, std::span<const RewriteRules> families) {
    const auto holds = [&](const std::string& key) { return line.find(key) != std::string::npos; };
    if (std::none_of(families.begin(), families.end(),
                     [&](const RewriteRules& rules) { return holds(rules.keyN) || holds(rules.keyP); })) {
        return line;
    }
    const std::optional<double> length = ValueAfter(line, "L=");
    const std::optional<double> width = ValueAfter(line, "W=");
    for (const RewriteRules& rules : families) {
        if (holds(rules.keyN)) {
            ReplaceKey(line, rules.keyN, rules.tableN, length, width);
        }
        if (holds(rules.keyP)) {
            ReplaceKey(line, rules.keyP, rules.tableP, length, width);
        }
    }
    return line;
}

std::vector<std::string_view> SplitLines(std::string_view netlist) {
    std::vector<std::string_view> lines;
    std::size_t pos = 0;
    while (pos < netlist.size()) {
        std::size_t end = netlist.find_first_of("\r\n", pos);
        if (end == std::string_view::npos) {
            end = netlist.size();
        } else if (netlist[end] == '\r' && end + 1 < netlist.size() && netlist[end + 1] == '\n') {
            end += 2;
        } else {
            end += 1;
        }
        lines.push_back(netlist.substr(pos, end - pos));
        pos = end;
    }
    return lines;
}

std::string ReferenceRewrite(std::string_view netlist, const RewriteRules& rules) {
    return ReferenceRewrite(netlist, std::span(&rules, 1));
}

std::string ReferenceRewrite(std::string_view netlist, std::span<const RewriteRules> families) {
    std::string out;
    for (const std::string_view line : SplitLines(netlist)) {
        out += LiteralRewriteLine(std::string(line), families);
    }
    return out;
}

} // namespace tarvex::test
