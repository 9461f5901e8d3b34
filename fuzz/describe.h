// SPDX-License-Identifier: MIT
// Readable texts for failure reports.
#pragma once

#include <string>
#include <string_view>

namespace tarvex::fuzz {

// The double with all 17 significant digits.
std::string Describe(double value);

// The text in double quotes, every byte outside printable ASCII as \xNN; long texts are cut to
// their first 200 bytes.
std::string Quote(std::string_view text);

// The first offset at which a and b differ (the shorter length when one is a prefix of the other).
std::size_t FirstDifference(std::string_view a, std::string_view b);

} // namespace tarvex::fuzz
