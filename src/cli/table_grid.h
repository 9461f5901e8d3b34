// SPDX-License-Identifier: MIT
// A bin table drawn as text the way the window lays it out, for show and check.
#pragma once

#include "bins/bin_table.h"
#include "settings/settings_file.h"

#include <array>
#include <span>
#include <string>
#include <string_view>

namespace tarvex::cli {

// One line of text in every cell of a grid, [width bin][length bin] as BinTable::partNames is.
struct GridRow {
    std::array<std::array<std::string, kBinCount>, kBinCount> cells;
    bool alignRight = false; // numbers line up on the right
};

// Control bytes would break the grid; they show as '?'. Other bytes are shown as stored.
std::string Printable(std::string_view text);

// The part names of a table as a grid row.
GridRow NameRow(const BinTable& table);

// heading on its own line, then the grid: the width bounds stand on the vertical rules along the
// top and the length bounds on the horizontal rules down the left; columns are width bins and rows
// are length bins, as in the window. Each cell holds one line per row of rows.
std::string DrawTableGrid(std::string_view heading, const BinTable& table, std::span<const GridRow> rows);

// Both tables of a settings file with their Keys, as show prints them.
std::string DrawSettings(const SettingsFile& settings);

} // namespace tarvex::cli
