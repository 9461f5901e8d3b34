// SPDX-License-Identifier: MIT
// The application icon, drawn rather than stored so that every size is sharp.
#pragma once

#include <QByteArray>
#include <QIcon>
#include <QPixmap>

namespace tarvex::ui {

// A square picture of side pixels: a small bin grid with one cell picked out.
QPixmap DrawAppIcon(int side);

// The icon at the sizes window managers and task bars ask for.
QIcon AppIcon();

// The same drawing as a Windows icon file (.ico) for the native Windows build, which has no Qt:
// 16 to 64 pixels as 32-bit bitmaps with alpha, 256 pixels as PNG.
QByteArray IcoFile();

} // namespace tarvex::ui
