// SPDX-License-Identifier: MIT
// What a rewrite is told and what it tells back, shared by the engine and everything that reads its
// events: the Keys and tables of a family of devices, and what happened to each Key met.
#pragma once

#include "bins/bin_table.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace tarvex {

inline constexpr std::size_t kMaxKeyLength = 49;
inline constexpr std::string_view kDefaultKeyN = "MODxyN";
inline constexpr std::string_view kDefaultKeyP = "MODxyP";

enum class Polarity { N, P };

// Everything a rewrite needs: both Keys and both tables, one family of devices (one settings file).
// Keys are matched case-sensitively as raw substrings; the caller refuses empty Keys before a run
// (an empty Key matches every line).
struct RewriteRules {
    std::string keyN{kDefaultKeyN};
    std::string keyP{kDefaultKeyP};
    BinTable tableN{};
    BinTable tableP{};
};

enum class DeviceOutcome {
    Replaced,    // the Key was replaced by the cell's part name
    MissingName, // the bin's cell is empty; the Key stays
    NoBin,       // L or W lies outside every bin, or the line gives no number for it; the Key stays
    NotADevice,  // the SPICE rule found the Key on a line that is no element (".model MODxyN"); it stays
};

struct DeviceSizes;

// What happened to one Key on one line.
struct DeviceEvent {
    std::size_t family = 0; // the index of the Key's family among the rules of the run
    Polarity polarity = Polarity::N;
    DeviceOutcome outcome = DeviceOutcome::Replaced;
    double length = 0.0;    // parsed "L=" value, 0 when the line has none
    double width = 0.0;     // parsed "W=" value, 0 when the line has none
    bool hasLength = false; // the line holds "L=" followed by a number ("L={p}" holds none)
    bool hasWidth = false;  // the line holds "W=" followed by a number
    std::optional<int> widthBin;
    std::optional<int> lengthBin;
    std::string_view partName; // points into the family's table; empty unless Replaced
    // How the SPICE rule read the sizes (valid while the event is reported); null under the classic rule.
    const DeviceSizes* sizes = nullptr;
};

} // namespace tarvex
