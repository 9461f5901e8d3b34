// SPDX-License-Identifier: MIT
// Reads the running simulator's message viewer title to suggest the netlist to process next and
// the folder to work in. Only window titles are read; nothing is changed.
#pragma once

#include "text/result.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarvex {

// A window whose title contains this text (case-sensitive) is the simulator's message viewer.
inline constexpr std::string_view kSimulatorTitleMark = "PSpice Message Viewer";

// What a viewer title says about the current design.
struct TitleHint {
    std::string netlistName;           // the last bracketed piece with ".net" appended
    std::optional<std::string> folder; // the piece's text before its last separator, if it has one
};

// The title rule: the title is split at every '[' and ']', empty pieces are skipped and the last
// piece is kept whole (no brackets: the whole title; brackets only: an empty piece). The folder is
// the text before the last '\' or '/' found scanning the piece back to index 1 ('\' for paths a
// Windows simulator shows, '/' for native ones). ".net" is appended even after an extension.
TitleHint HintFromTitle(std::string_view title);

// The first title, in the order given, that contains kSimulatorTitleMark; fails with
// "No "PSpice Message Viewer" window found." when none does.
Result<std::string> FindSimulatorTitle(const std::vector<std::string>& titles);

struct ProbeResult {
    Result<std::string> title; // the simulator window's title, or why there is none
    TitleHint hint;            // empty name and no folder when no simulator was found

    bool found() const { return title.ok(); }
};

// Finds the simulator among titles listed in window order and derives the hint from its title.
// The folder is only named: whether it exists and where to work is the caller's choice.
ProbeResult ProbeSimulatorWindow(const std::vector<std::string>& titles);

// The same over the top-level windows on this machine's display (TopLevelWindowTitles). The caller
// keeps hint.netlistName as the name the Process dialog offers.
ProbeResult ProbeSimulatorWindow();

} // namespace tarvex
