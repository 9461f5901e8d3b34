// SPDX-License-Identifier: MIT
// A deterministic PSpice-style netlist for benchmarks: about half the lines are MOSFETs carrying
// the default Keys with L= and W= spread over the benchmark bins, so every device gets a part, as
// in a finished design.
#pragma once

#include "settings/settings_file.h"

#include <cstdint>
#include <string>

namespace tarvex::bench {

// Appends device, resistor, capacitor and comment lines to out until it holds at least `bytes`
// bytes. withKeys=false writes device lines with ordinary model names, so no line holds a Key.
// With several families, each device line carries the Keys of one of them, chosen at random.
void GenerateNetlist(std::string& out, std::uint64_t bytes, std::uint32_t seed, bool withKeys = true,
                     int families = 1);

// The tables matching the generated sizes: five width and five length bins per polarity, every
// cell named. Family 0 has the Keys MODxyN and MODxyP and names like "nch_w1_l2"; family 1 HVxyN,
// HVxyP and "hv_nch_w1_l2"; family 2 LVxyN, LVxyP and "lv_nch_w1_l2".
SettingsFile BenchmarkSettings(int family = 0);

inline constexpr int kBenchmarkFamilies = 3;

} // namespace tarvex::bench
