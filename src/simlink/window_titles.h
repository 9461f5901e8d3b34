// SPDX-License-Identifier: MIT
// The titles of the desktop's top-level windows; one implementation per windowing system.
#pragma once

#include <string>
#include <vector>

namespace tarvex {

// The titles of the top-level windows in the windowing system's own order, whole and as bytes
// (UTF-8 where the system hands out UTF-16); untitled windows are left out. Windows: the Z-order
// from the top. X11 (the display named by DISPLAY): the window manager's client list when one is
// published, else the root window's children bottom to top, looking one level down for a client
// reparented into an untitled frame. Empty when there is no display, or no windowing system that
// the build knows.
std::vector<std::string> TopLevelWindowTitles();

} // namespace tarvex
