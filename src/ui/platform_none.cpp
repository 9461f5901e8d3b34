// SPDX-License-Identifier: MIT
// Platforms without a socket layer to start and without a system menu the program can extend
// (X11, Wayland, macOS); their file dialogs match every file with "*".
#include "ui/platform.h"

namespace tarvex::ui {

bool InitSocketLayer() {
    return true;
}

bool AddAboutToSystemMenu(QWidget* /*window*/, const QString& /*text*/) {
    return false;
}

bool IsAboutSystemCommand(const QByteArray& /*eventType*/, void* /*message*/) {
    return false;
}

QString AllFilesPattern() {
    return QStringLiteral("*");
}

} // namespace tarvex::ui
