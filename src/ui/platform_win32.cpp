// SPDX-License-Identifier: MIT
// Windows: Windows Sockets start-up, the About entry in the window's system menu, file patterns.
#include "ui/platform.h"

// winsock2.h must come before windows.h.
#include <winsock2.h>

#include <windows.h>

#include <QWidget>

namespace tarvex::ui {
namespace {

constexpr UINT kAboutCommand = 0x0010;

} // namespace

bool InitSocketLayer() {
    WSADATA data;
    return WSAStartup(MAKEWORD(1, 1), &data) == 0;
}

bool AddAboutToSystemMenu(QWidget* window, const QString& text) {
    HMENU menu = GetSystemMenu(reinterpret_cast<HWND>(window->winId()), FALSE);
    if (menu == nullptr || text.isEmpty()) {
        return false;
    }
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(menu, MF_STRING, kAboutCommand, reinterpret_cast<LPCWSTR>(text.utf16()));
    return true;
}

bool IsAboutSystemCommand(const QByteArray& eventType, void* message) {
    if (eventType != QByteArrayLiteral("windows_generic_MSG")) {
        return false;
    }
    const MSG* msg = static_cast<const MSG*>(message);
    return msg->message == WM_SYSCOMMAND && (msg->wParam & 0xFFF0) == kAboutCommand;
}

QString AllFilesPattern() {
    return QStringLiteral("*.*");
}

} // namespace tarvex::ui
