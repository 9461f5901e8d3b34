// SPDX-License-Identifier: MIT
// A thin dialog layer: one dialog procedure keeps the C++ object in the window's user data and
// calls its virtual handlers. Each window is a small class over it.
#pragma once

#include <windows.h>

#include <optional>
#include <vector>

namespace tarvex::win32 {

class Dialog {
public:
    // The template is the executable's dialog resource resourceId, or one built in memory
    // (DialogTemplate).
    explicit Dialog(int resourceId);
    explicit Dialog(std::vector<WORD> memoryTemplate);
    virtual ~Dialog();
    Dialog(const Dialog&) = delete;
    Dialog& operator=(const Dialog&) = delete;

    // Runs the dialog modally until End; returns End's result, or -1 when it could not be made.
    INT_PTR DoModal(HWND owner);
    // Runs the dialog as a main window until End, in a message loop of its own that gives keys to
    // the accelerators first (shortcuts that a modal dialog's loop would not see), then to the
    // dialog's keyboard handling; returns End's result, or -1 when it could not be made.
    INT_PTR RunWithAccelerators(HACCEL accelerators);
    // Makes the dialog without a modal loop (the progress display, tests); End then destroys it.
    HWND Create(HWND owner);

    HWND hwnd() const { return m_hwnd; }
    HWND item(int id) const { return GetDlgItem(m_hwnd, id); }
    // End's result once the dialog has ended.
    std::optional<INT_PTR> result() const { return m_result; }

protected:
    // After the controls exist. True lets the dialog manager focus the first tab stop; false when
    // the handler set the focus itself.
    virtual bool OnInit() { return true; }
    // A command other than OK and Cancel; false when not handled.
    virtual bool OnCommand(int /*id*/, int /*code*/) { return false; }
    // IDOK: the default button or Enter. IDCANCEL: Escape, the close box or the system menu's Close.
    virtual void OnOK() { End(IDOK); }
    virtual void OnCancel() { End(IDCANCEL); }
    // Any other message: a value is its result, nothing leaves it to the default processing.
    virtual std::optional<INT_PTR> OnMessage(UINT message, WPARAM wParam, LPARAM lParam);

    void End(INT_PTR result);
    // Moves the dialog to the middle of its owner (of the screen when it has none).
    void CentreOnOwner();

private:
    static INT_PTR CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR handle(UINT message, WPARAM wParam, LPARAM lParam);

    int m_resourceId = 0;
    std::vector<WORD> m_template;
    HWND m_hwnd = nullptr;
    bool m_modal = false;
    std::optional<INT_PTR> m_result;
};

} // namespace tarvex::win32
