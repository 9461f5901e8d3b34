// SPDX-License-Identifier: MIT
#include "support/literal_rewrite.h"

#include "bins/engineering_value.h"

namespace tarvex::test {
namespace {

double ValueAfter(const std::string& line, const char* marker) {
    const std::size_t pos = line.find(marker);
    return pos == std::string::npos ? 0.0 : ParseNetlistValue(line.substr(pos + 2, kNetlistTokenLength));
}

void ReplaceKey(std::string& line, const std::string& key, const BinTable& table, double length,
                double width) {
    const auto w = FindBin(table.widthBounds, width);
    const auto l = FindBin(table.lengthBounds, length);
    if (w && l && !PartName(table, *w, *l).empty()) {
        ReplaceFirst(line, key, PartName(table, *w, *l));
    }
}

} // namespace

std::string LiteralRewriteLine(std::string line, const RewriteRules& rules) {
    if (line.find(rules.keyN) == std::string::npos && line.find(rules.keyP) == std::string::npos) {
        return line;
    }
    const double length = ValueAfter(line, "L=");
    const double width = ValueAfter(line, "W=");
    if (line.find(rules.keyN) != std::string::npos) {
        ReplaceKey(line, rules.keyN, rules.tableN, length, width);
    }
    if (line.find(rules.keyP) != std::string::npos) {
        ReplaceKey(line, rules.keyP, rules.tableP, length, width);
    }
    return line;
}

} // namespace tarvex::test
