// SPDX-License-Identifier: MIT
// The "C" locale as a locale_t of its own, so the process locale is never consulted or changed.
#include "c_library.h"

#include <cstdio>
#include <cstdlib>
#include <locale.h>

namespace tarvex::fuzz {
namespace {

locale_t CLocale() {
    static const locale_t locale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    return locale;
}

} // namespace

double CStrtod(const char* text, char** end) {
    return strtod_l(text, end, CLocale());
}

std::string CFormatG(double value) {
    const locale_t previous = uselocale(CLocale());
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%g", value);
    uselocale(previous);
    return buffer;
}

} // namespace tarvex::fuzz
