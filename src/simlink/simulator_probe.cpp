// SPDX-License-Identifier: MIT
#include "simlink/simulator_probe.h"

#include "simlink/window_titles.h"

#include <algorithm>

namespace tarvex {
namespace {

bool IsSeparator(char c) {
    return c == '\\' || c == '/';
}

} // namespace

TitleHint HintFromTitle(std::string_view title) {
    std::string_view piece;
    std::size_t start = 0;
    while (start <= title.size()) {
        const std::size_t end = std::min(title.find_first_of("[]", start), title.size());
        if (end > start) {
            piece = title.substr(start, end - start);
        }
        start = end + 1;
    }

    TitleHint hint;
    for (std::size_t i = piece.size(); i-- > 1;) {
        if (IsSeparator(piece[i])) {
            hint.folder = std::string(piece.substr(0, i));
            break;
        }
    }
    hint.netlistName.reserve(piece.size() + 4);
    hint.netlistName.append(piece).append(".net");
    return hint;
}

Result<std::string> FindSimulatorTitle(const std::vector<std::string>& titles) {
    for (const auto& title : titles) {
        if (title.find(kSimulatorTitleMark) != std::string::npos) {
            return title;
        }
    }
    return Fail("No \"" + std::string(kSimulatorTitleMark) + "\" window found.");
}

ProbeResult ProbeSimulatorWindow(const std::vector<std::string>& titles) {
    ProbeResult result{FindSimulatorTitle(titles), {}};
    if (result.found()) {
        result.hint = HintFromTitle(*result.title);
    }
    return result;
}

ProbeResult ProbeSimulatorWindow() {
    return ProbeSimulatorWindow(TopLevelWindowTitles());
}

} // namespace tarvex
