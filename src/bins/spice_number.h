// SPDX-License-Identifier: MIT
// Numbers as SPICE reads them in netlists and model libraries: a decimal, then a scale factor and a
// unit ("0.5um", "2meg", "1e+06u", "1mil").
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

namespace tarvex {

// The value of a number as SPICE reads it: a decimal with an optional exponent ("2.8e-007"), then
// an optional scale factor T G MEG K M U N P F MIL in any letter case, letters after it ignored
// ("1um" is 1e-6). Nothing when text is not such a number ("1.2*x", "{w}", "").
std::optional<double> ParseSpiceNumber(std::string_view text);

// The length of the number that starts text: a sign, a decimal with an optional exponent, and the
// letters after it (scale factor and unit); 0 when text does not start with a digit, or a '.' and
// a digit (after the sign). "1e+06u*2" gives 6, "2meg)" gives 4.
std::size_t SpiceNumberLength(std::string_view text);

} // namespace tarvex
