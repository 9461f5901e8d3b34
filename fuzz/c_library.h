// SPDX-License-Identifier: MIT
// The C library's number reading and printing in the "C" locale, for the literal references: one
// source per platform, picked by CMake.
#pragma once

#include <string>

namespace tarvex::fuzz {

// strtod of text in the "C" locale; end, when given, is set just after the number read.
double CStrtod(const char* text, char** end);

// snprintf("%g") of value in the "C" locale.
std::string CFormatG(double value);

} // namespace tarvex::fuzz
