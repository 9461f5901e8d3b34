// SPDX-License-Identifier: MIT
// Builds without a windowing system the probe knows: there are no windows, so no simulator.
#include "simlink/window_titles.h"

namespace tarvex {

std::vector<std::string> TopLevelWindowTitles() {
    return {};
}

} // namespace tarvex
