// SPDX-License-Identifier: MIT
// The application icon, drawn rather than stored so that every size is sharp.
#pragma once

#include <QIcon>
#include <QPixmap>

namespace tarvex::ui {

// A square picture of side pixels: a small bin grid with one cell picked out.
QPixmap DrawAppIcon(int side);

// The icon at the sizes window managers and task bars ask for.
QIcon AppIcon();

} // namespace tarvex::ui
