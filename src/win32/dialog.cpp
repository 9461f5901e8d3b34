// SPDX-License-Identifier: MIT
#include "win32/dialog.h"

#include <utility>

namespace tarvex::win32 {
namespace {

// Messages whose result a dialog procedure returns itself instead of through DWLP_MSGRESULT.
bool ReturnsResultDirectly(UINT message) {
    switch (message) {
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
    case WM_COMPAREITEM:
    case WM_VKEYTOITEM:
    case WM_CHARTOITEM:
    case WM_QUERYDRAGICON:
    case WM_INITDIALOG:
        return true;
    default:
        return false;
    }
}

const DLGTEMPLATE* AsTemplate(const std::vector<WORD>& words) {
    return reinterpret_cast<const DLGTEMPLATE*>(words.data());
}

} // namespace

Dialog::Dialog(int resourceId) : m_resourceId(resourceId) {}

Dialog::Dialog(std::vector<WORD> memoryTemplate) : m_template(std::move(memoryTemplate)) {}

// A window still open when its object goes loses the object first, so that its last messages
// reach no half-destroyed handler.
Dialog::~Dialog() {
    if (m_hwnd != nullptr) {
        SetWindowLongPtrW(m_hwnd, DWLP_USER, 0);
        DestroyWindow(m_hwnd);
    }
}

INT_PTR Dialog::DoModal(HWND owner) {
    m_modal = true;
    m_result.reset();
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    const auto self = reinterpret_cast<LPARAM>(this);
    const INT_PTR result =
        m_template.empty()
            ? DialogBoxParamW(instance, MAKEINTRESOURCEW(m_resourceId), owner, &Dialog::Procedure, self)
            : DialogBoxIndirectParamW(instance, AsTemplate(m_template), owner, &Dialog::Procedure, self);
    m_modal = false;
    return result;
}

INT_PTR Dialog::RunWithAccelerators(HACCEL accelerators) {
    if (Create(nullptr) == nullptr) {
        return -1;
    }
    MSG message{};
    while (!m_result && GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (m_hwnd != nullptr && (TranslateAcceleratorW(m_hwnd, accelerators, &message) != 0 ||
                                  IsDialogMessageW(m_hwnd, &message) != 0)) {
            continue;
        }
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return m_result.value_or(-1);
}

HWND Dialog::Create(HWND owner) {
    m_result.reset();
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    const auto self = reinterpret_cast<LPARAM>(this);
    return m_template.empty()
               ? CreateDialogParamW(instance, MAKEINTRESOURCEW(m_resourceId), owner, &Dialog::Procedure, self)
               : CreateDialogIndirectParamW(instance, AsTemplate(m_template), owner, &Dialog::Procedure,
                                            self);
}

void Dialog::End(INT_PTR result) {
    m_result = result;
    if (m_modal) {
        EndDialog(m_hwnd, result);
    } else if (m_hwnd != nullptr) {
        DestroyWindow(m_hwnd);
    }
}

void Dialog::CentreOnOwner() {
    RECT area{};
    if (HWND owner = GetWindow(m_hwnd, GW_OWNER); owner != nullptr && !IsIconic(owner)) {
        GetWindowRect(owner, &area);
    } else {
        SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    }
    RECT own{};
    GetWindowRect(m_hwnd, &own);
    const int x = area.left + (area.right - area.left - (own.right - own.left)) / 2;
    const int y = area.top + (area.bottom - area.top - (own.bottom - own.top)) / 2;
    SetWindowPos(m_hwnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

std::optional<INT_PTR> Dialog::OnMessage(UINT /*message*/, WPARAM /*wParam*/, LPARAM /*lParam*/) {
    return std::nullopt;
}

INT_PTR CALLBACK Dialog::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        auto* dialog = reinterpret_cast<Dialog*>(lParam);
        SetWindowLongPtrW(window, DWLP_USER, lParam);
        dialog->m_hwnd = window;
        return dialog->OnInit() ? TRUE : FALSE;
    }
    // Messages sent before WM_INITDIALOG (WM_SETFONT, ...) find no object yet.
    auto* dialog = reinterpret_cast<Dialog*>(GetWindowLongPtrW(window, DWLP_USER));
    if (dialog == nullptr) {
        return FALSE;
    }
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(window, DWLP_USER, 0);
        dialog->m_hwnd = nullptr;
        return FALSE;
    }
    return dialog->handle(message, wParam, lParam);
}

INT_PTR Dialog::handle(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COMMAND) {
        const int id = LOWORD(wParam);
        if (id == IDOK) {
            OnOK();
            return TRUE;
        }
        if (id == IDCANCEL) {
            OnCancel();
            return TRUE;
        }
        return OnCommand(id, HIWORD(wParam)) ? TRUE : FALSE;
    }
    const std::optional<INT_PTR> result = OnMessage(message, wParam, lParam);
    if (!result) {
        return FALSE;
    }
    if (ReturnsResultDirectly(message)) {
        return *result;
    }
    SetWindowLongPtrW(m_hwnd, DWLP_MSGRESULT, *result);
    return TRUE;
}

} // namespace tarvex::win32
