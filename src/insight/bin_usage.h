// SPDX-License-Identifier: MIT
// What a run did with its devices, for the people reading it: how many fell into each cell of the
// tables, and one line for each device that kept its Key.
#pragma once

#include "rewrite/line_rewriter.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace tarvex {

// Devices per cell of one table, indexed [width bin][length bin] as BinTable::partNames is.
using CellCounts = std::array<std::array<std::uint64_t, kBinCount>, kBinCount>;

// The devices of a run per cell of each polarity's table, for one family of Keys (a run of several
// keeps one BinUsage per family, indexed by DeviceEvent::family). A device counts in the cell its
// size falls into whether or not that cell has a part name; a size outside every bin counts nowhere.
struct BinUsage {
    CellCounts n{};
    CellCounts p{};

    void add(const DeviceEvent& event);
    const CellCounts& of(Polarity polarity) const { return polarity == Polarity::N ? n : p; }
};

// One line for a device that kept its Key, "amp.net:14: N L=1e-05 W=4e-05 no bin": where it stands,
// its polarity, the sizes its line gives (a size the line lacks is left out) and ProblemLabel.
std::string DescribeKeptDevice(std::string_view file, std::uint64_t line, const DeviceEvent& event);

} // namespace tarvex
