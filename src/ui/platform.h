// SPDX-License-Identifier: MIT
// The few platform services the window needs, one source file per platform.
#pragma once

#include <QByteArray>
#include <QString>

class QWidget;

namespace tarvex::ui {

// Starts the platform's socket layer where it needs starting (Windows Sockets); false on failure.
bool InitSocketLayer();

// Appends a separator and an entry with text to the window's native system menu. False where the
// platform has no such menu, so the caller offers the entry elsewhere.
bool AddAboutToSystemMenu(QWidget* window, const QString& text);

// True for a native message that is the system menu's About entry being chosen.
bool IsAboutSystemCommand(const QByteArray& eventType, void* message);

// The file dialogs' pattern for every file: "*.*" on Windows; elsewhere "*.*" would only match
// names holding a dot, so "*".
QString AllFilesPattern();

} // namespace tarvex::ui
