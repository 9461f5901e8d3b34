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
// bytes. withKeys=false writes device lines
// with ordinary model names, so no line holds a Key.
void GenerateNetlist(std::string& out, std::uint64_t bytes, std::uint32_t seed, bool withKeys = true);

// The tables matching the generated sizes: five width and five length bins per polarity, every
// cell named.
SettingsFile BenchmarkSettings();

} // namespace tarvex::bench
