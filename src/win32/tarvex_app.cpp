// SPDX-License-Identifier: MIT
#include "win32/tarvex_app.h"

// winsock2.h must come before windows.h.
#include <winsock2.h>

#include "form/form_presenter.h"
#include "win32/profile.h"
#include "win32/resource_ids.h"
#include "win32/tarvex_dlg.h"
#include "win32/text.h"
#include "win32/user_dialogs.h"

#include <commctrl.h>

#include <utility>

namespace tarvex::win32 {

CTarvexApp::CTarvexApp(form::SimulatorProbe probe) : m_probe(std::move(probe)) {}

bool CTarvexApp::InitInstance(const std::optional<std::filesystem::path>& settingsFile) {
    WSADATA sockets;
    if (WSAStartup(MAKEWORD(2, 2), &sockets) != 0) {
        MessageBoxW(nullptr, ResourceString(IDS_SOCKETS_FAILED).c_str(),
                    RegistryProfile::ApplicationName().c_str(), MB_OK | MB_ICONEXCLAMATION);
        return false;
    }
    INITCOMMONCONTROLSEX controls{sizeof(controls),
                                  ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS | ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);

    RegistryProfile profile;
    CTarvexDlg window;
    Win32UserDialogs dialogs(window);
    form::FormPresenter presenter(window, dialogs, profile, m_probe);
    window.bind(presenter, settingsFile);
    HACCEL shortcuts = CTarvexDlg::MakeAccelerators();
    window.RunWithAccelerators(shortcuts); // the presenter starts up when the form is made
    DestroyAcceleratorTable(shortcuts);
    WSACleanup();
    return true;
}

} // namespace tarvex::win32
