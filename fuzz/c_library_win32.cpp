// SPDX-License-Identifier: MIT
// MinGW-w64's own C99 strtod and snprintf: the Windows runtime's _strtod_l reads neither
// hexadecimal nor "inf". The test programs that use them keep the "C" locale they start in.
#include "c_library.h"

#include <cstdio>
#include <cstdlib>

namespace tarvex::fuzz {

double CStrtod(const char* text, char** end) {
    return __mingw_strtod(text, end);
}

std::string CFormatG(double value) {
    char buffer[64];
    __mingw_snprintf(buffer, sizeof buffer, "%g", value);
    return buffer;
}

} // namespace tarvex::fuzz
