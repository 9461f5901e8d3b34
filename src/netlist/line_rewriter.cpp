// SPDX-License-Identifier: MIT
#include "netlist/line_rewriter.h"

#include "bins/engineering_value.h"

namespace tarvex {
namespace {

// The value after the first occurrence of marker: at most kNetlistTokenLength bytes, so the token
// may carry the text of following parameters (only a space ends what the parser examines).
double ValueAfter(std::string_view line, std::string_view marker) {
    const std::size_t pos = line.find(marker);
    if (pos == std::string_view::npos) {
        return 0.0;
    }
    return ParseNetlistValue(line.substr(pos + marker.size(), kNetlistTokenLength));
}

DeviceEvent Resolve(Polarity polarity, const BinTable& table, double length, double width) {
    DeviceEvent event;
    event.polarity = polarity;
    event.length = length;
    event.width = width;
    event.widthBin = FindBin(table.widthBounds, width);
    event.lengthBin = FindBin(table.lengthBounds, length);
    if (!event.widthBin || !event.lengthBin) {
        event.outcome = DeviceOutcome::NoBin;
        return event;
    }
    event.partName = PartName(table, *event.widthBin, *event.lengthBin);
    event.outcome = event.partName.empty() ? DeviceOutcome::MissingName : DeviceOutcome::Replaced;
    return event;
}

const char* KeyLabel(Polarity polarity) { return polarity == Polarity::N ? "MODxyN" : "MODxyP"; }

} // namespace

LineRewrite RewriteLine(std::string_view line, const RewriteRules& rules, std::string& out) {
    const std::size_t posN = line.find(rules.keyN);
    if (posN == std::string_view::npos && line.find(rules.keyP) == std::string_view::npos) {
        out.append(line);
        return {};
    }

    LineRewrite result;
    const double length = ValueAfter(line, "L=");
    const double width = ValueAfter(line, "W=");
    const std::size_t start = out.size();

    if (posN != std::string_view::npos) {
        result.n = Resolve(Polarity::N, rules.tableN, length, width);
        if (result.n->outcome == DeviceOutcome::Replaced) {
            out.append(line.substr(0, posN));
            out.append(result.n->partName);
            out.append(line.substr(posN + rules.keyN.size()));
        } else {
            out.append(line);
        }
    } else {
        out.append(line);
    }

    // The P Key is looked for in the line as the N replacement left it, so an inserted N part name
    // that contains the P Key is replaced in turn.
    const std::size_t posP = std::string_view(out).substr(start).find(rules.keyP);
    if (posP != std::string_view::npos) {
        result.p = Resolve(Polarity::P, rules.tableP, length, width);
        if (result.p->outcome == DeviceOutcome::Replaced) {
            out.replace(start + posP, rules.keyP.size(), result.p->partName);
        }
    }
    return result;
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
    const std::string label = KeyLabel(event.polarity);
    switch (event.outcome) {
    case DeviceOutcome::Replaced:
        return std::nullopt;
    case DeviceOutcome::MissingName:
        return "Error: Missing " + label + " part name!";
    case DeviceOutcome::NoBin:
        return "Error: No " + label + " bin for L=" + FormatG(event.length) + " W=" + FormatG(event.width) + "!";
    }
    return std::nullopt;
}

} // namespace tarvex
