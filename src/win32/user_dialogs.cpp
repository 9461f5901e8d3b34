// SPDX-License-Identifier: MIT
#include "win32/user_dialogs.h"

#include "form/form_layout.h"
#include "win32/dialog.h"
#include "win32/dialog_template.h"
#include "win32/text.h"

#include <commctrl.h>
#include <commdlg.h>

#include <algorithm>
#include <vector>

namespace tarvex::win32 {
namespace {

constexpr auto kProgressDelayMs = static_cast<ULONGLONG>(form::kProgressDelayMs);
using form::kProgressSteps;
constexpr int kLabelId = 100;
constexpr int kBarId = 101;
// Width of a message with details, in dialog units: room for a device's line.
constexpr UINT kDetailsWidth = 260;
// Room for the longest path Windows takes.
constexpr DWORD kPathBufferSize = 32768;

std::wstring Caption() {
    return {form::kFormCaption.begin(), form::kFormCaption.end()};
}

std::vector<WORD> ProgressTemplate() {
    DialogTemplate dialog(DS_MODALFRAME | WS_POPUP | WS_VISIBLE | WS_CAPTION, 0, {0, 0, 186, 62}, Caption(),
                          8, L"MS Sans Serif");
    dialog.add(L"STATIC", kLabelId, L"", SS_LEFT | SS_NOPREFIX | SS_PATHELLIPSIS, {7, 7, 172, 8});
    dialog.add(PROGRESS_CLASSW, kBarId, L"", 0, {7, 19, 172, 10});
    dialog.add(L"BUTTON", IDCANCEL, L"Cancel", WS_TABSTOP | BS_DEFPUSHBUTTON, {68, 39, 50, 14});
    return dialog.words();
}

// The task dialog's Save Details button: it calls the function in the callback data and, by
// answering S_FALSE, keeps the dialog open.
constexpr int kSaveDetailsId = 104;

HRESULT CALLBACK SaveDetailsCallback(HWND /*dialog*/, UINT notification, WPARAM button, LPARAM /*unused*/,
                                     LONG_PTR data) {
    if (notification == TDN_BUTTON_CLICKED && button == kSaveDetailsId) {
        (*reinterpret_cast<const std::function<void()>*>(data))();
        return S_FALSE;
    }
    return S_OK;
}

constexpr int kPromptId = 102;
constexpr int kListId = 103;

std::vector<WORD> ChoiceTemplate() {
    DialogTemplate dialog(DS_MODALFRAME | WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU, 0,
                          {0, 0, 300, 122}, Caption(), 8, L"MS Sans Serif");
    dialog.add(L"STATIC", kPromptId, L"", SS_LEFT | SS_NOPREFIX, {7, 7, 286, 18});
    dialog.add(L"LISTBOX", kListId, L"", WS_TABSTOP | WS_BORDER | WS_VSCROLL | LBS_NOTIFY, {7, 28, 286, 66});
    dialog.add(L"BUTTON", IDOK, L"OK", WS_TABSTOP | BS_DEFPUSHBUTTON, {186, 101, 50, 14});
    dialog.add(L"BUTTON", IDCANCEL, L"Cancel", WS_TABSTOP | BS_PUSHBUTTON, {243, 101, 50, 14});
    return dialog.words();
}

// A prompt and a list of items; OK or a double click on an item chooses it.
class ChoiceDlg final : public Dialog {
public:
    ChoiceDlg(std::wstring prompt, std::vector<std::wstring> items)
        : Dialog(ChoiceTemplate()), m_prompt(std::move(prompt)), m_items(std::move(items)) {}

    std::optional<std::size_t> chosen() const { return m_chosen; }

protected:
    bool OnInit() override {
        CentreOnOwner();
        SetDlgItemTextW(hwnd(), kPromptId, m_prompt.c_str());
        for (const std::wstring& entry : m_items) {
            SendDlgItemMessageW(hwnd(), kListId, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry.c_str()));
        }
        SendDlgItemMessageW(hwnd(), kListId, LB_SETCURSEL, 0, 0);
        return true;
    }

    bool OnCommand(int id, int code) override {
        if (id == kListId && code == LBN_DBLCLK) {
            OnOK();
            return true;
        }
        return false;
    }

    void OnOK() override {
        const LRESULT index = SendDlgItemMessageW(hwnd(), kListId, LB_GETCURSEL, 0, 0);
        if (index != LB_ERR) {
            m_chosen = static_cast<std::size_t>(index);
        }
        End(IDOK);
    }

private:
    std::wstring m_prompt;
    std::vector<std::wstring> m_items;
    std::optional<std::size_t> m_chosen;
};

// The display: a label, a bar, and a Cancel button (or Escape) that marks the work to stop.
class ProgressDlg final : public Dialog {
public:
    explicit ProgressDlg(std::wstring label) : Dialog(ProgressTemplate()), m_label(std::move(label)) {}

    bool cancelled() const { return m_cancelled; }

protected:
    bool OnInit() override {
        CentreOnOwner();
        SetDlgItemTextW(hwnd(), kLabelId, m_label.c_str());
        SendDlgItemMessageW(hwnd(), kBarId, PBM_SETRANGE32, 0, kProgressSteps);
        return true;
    }

    void OnCancel() override {
        m_cancelled = true;
        EnableWindow(item(IDCANCEL), FALSE);
    }

private:
    std::wstring m_label;
    bool m_cancelled = false;
};

class Win32Progress final : public form::Progress {
public:
    Win32Progress(HWND owner, std::wstring label, std::uint64_t total)
        : m_owner(owner), m_dialog(std::move(label)), m_total(std::max<std::uint64_t>(total, 1)),
          m_start(GetTickCount64()) {}

    ~Win32Progress() override {
        if (m_dialog.hwnd() != nullptr) {
            // The owner is enabled before the display goes, so that it gets the activation back.
            EnableWindow(m_owner, TRUE);
            DestroyWindow(m_dialog.hwnd());
        }
    }

    Win32Progress(const Win32Progress&) = delete;
    Win32Progress& operator=(const Win32Progress&) = delete;

    bool update(std::uint64_t done) override {
        if (m_dialog.hwnd() == nullptr) {
            if (GetTickCount64() - m_start < kProgressDelayMs || done >= m_total ||
                m_dialog.Create(m_owner) == nullptr) {
                return true;
            }
            EnableWindow(m_owner, FALSE);
        }
        const std::uint64_t step = std::min(done, m_total) * kProgressSteps / m_total;
        SendDlgItemMessageW(m_dialog.hwnd(), kBarId, PBM_SETPOS, static_cast<WPARAM>(step), 0);
        pumpMessages();
        return !m_dialog.cancelled();
    }

private:
    void pumpMessages() {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) {
                PostQuitMessage(static_cast<int>(message.wParam)); // for the loop that ends the program
                return;
            }
            if (!IsDialogMessageW(m_dialog.hwnd(), &message)) {
                TranslateMessage(&message);
                DispatchMessageW(&message);
            }
        }
    }

    HWND m_owner;
    ProgressDlg m_dialog;
    std::uint64_t m_total;
    ULONGLONG m_start;
};

} // namespace

std::optional<std::size_t> Win32UserDialogs::chooseItem(std::string_view prompt,
                                                        const std::vector<std::string>& items) {
    std::vector<std::wstring> entries;
    for (const std::string& entry : items) {
        entries.push_back(WideFromUtf8(entry));
    }
    ChoiceDlg dialog(WideFromUtf8(prompt), std::move(entries));
    if (dialog.DoModal(m_owner.hwnd()) != IDOK) {
        return std::nullopt;
    }
    return dialog.chosen();
}

void Win32UserDialogs::showInfo(std::string_view message) {
    MessageBoxW(m_owner.hwnd(), WideFromUtf8(message).c_str(), Caption().c_str(), MB_OK | MB_ICONINFORMATION);
}

std::optional<std::filesystem::path> Win32UserDialogs::askFile(const form::FileRequest& request) {
    const std::wstring filter = NulSeparatedFilter(request.filters);
    const std::wstring extension = WideFromUtf8(request.defaultExtension);
    const std::wstring& folder = request.startFolder.native();
    const std::wstring initial = request.patternAsName && !request.filters.empty()
                                     ? JoinedPatterns(request.filters.front())
                                     : request.initialName.native();
    std::vector<wchar_t> file(kPathBufferSize, L'\0');
    std::copy_n(initial.begin(), std::min<std::size_t>(initial.size(), file.size() - 1), file.begin());

    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof(dialog);
    dialog.hwndOwner = m_owner.hwnd();
    dialog.lpstrFilter = filter.c_str();
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = file.data();
    dialog.nMaxFile = kPathBufferSize;
    dialog.lpstrInitialDir = folder.empty() ? nullptr : folder.c_str();
    dialog.lpstrDefExt = extension.empty() ? nullptr : extension.c_str();
    const std::wstring title = WideFromUtf8(request.title);
    dialog.lpstrTitle = title.empty() ? nullptr : title.c_str();
    // The presenter keeps the working folder itself: the dialog must not change the process's.
    dialog.Flags =
        OFN_EXPLORER | OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT | OFN_NOCHANGEDIR | OFN_PATHMUSTEXIST;
    if (!request.save && request.mustExist) {
        dialog.Flags |= OFN_FILEMUSTEXIST;
    }
    const BOOL chosen = request.save ? GetSaveFileNameW(&dialog) : GetOpenFileNameW(&dialog);
    if (!chosen) {
        return std::nullopt;
    }
    return std::filesystem::path(file.data());
}

void Win32UserDialogs::showStop(std::string_view message, std::string_view details) {
    showMessage(message, details, MB_ICONSTOP, TD_ERROR_ICON);
}

void Win32UserDialogs::showStopWithSave(std::string_view message, std::string_view details,
                                        const std::function<void()>& saveDetails) {
    showMessage(message, details, MB_ICONSTOP, TD_ERROR_ICON, &saveDetails);
}

void Win32UserDialogs::showWarning(std::string_view message, std::string_view details) {
    showMessage(message, details, MB_ICONWARNING, TD_WARNING_ICON);
}

void Win32UserDialogs::showMessage(std::string_view message, std::string_view details, UINT boxIcon,
                                   PCWSTR dialogIcon, const std::function<void()>* saveDetails) {
    const std::wstring caption = Caption();
    const std::wstring text = WideFromUtf8(message);
    if (details.empty() && saveDetails == nullptr) {
        MessageBoxW(m_owner.hwnd(), text.c_str(), caption.c_str(), MB_OK | boxIcon);
        return;
    }
    const std::wstring more = WideFromUtf8(details);
    TASKDIALOGCONFIG dialog{};
    dialog.cbSize = sizeof(dialog);
    dialog.hwndParent = m_owner.hwnd();
    dialog.dwFlags = TDF_ALLOW_DIALOG_CANCELLATION | TDF_POSITION_RELATIVE_TO_WINDOW;
    dialog.dwCommonButtons = TDCBF_OK_BUTTON;
    dialog.pszWindowTitle = caption.c_str();
    dialog.pszMainIcon = dialogIcon;
    dialog.pszContent = text.c_str();
    dialog.pszExpandedInformation = more.c_str();
    dialog.cxWidth = kDetailsWidth;
    dialog.pszCollapsedControlText = L"Show Details...";
    dialog.pszExpandedControlText = L"Hide Details...";
    const TASKDIALOG_BUTTON save{kSaveDetailsId, L"Save Details..."};
    if (saveDetails != nullptr) {
        dialog.pButtons = &save;
        dialog.cButtons = 1;
        dialog.pfCallback = SaveDetailsCallback;
        dialog.lpCallbackData = reinterpret_cast<LONG_PTR>(saveDetails);
    }
    TaskDialogIndirect(&dialog, nullptr, nullptr, nullptr);
}

form::Answer Win32UserDialogs::ask(std::string_view question, bool withCancel) {
    const UINT buttons = withCancel ? MB_YESNOCANCEL : MB_YESNO;
    switch (MessageBoxW(m_owner.hwnd(), WideFromUtf8(question).c_str(), Caption().c_str(),
                        buttons | MB_ICONQUESTION)) {
    case IDYES:
        return form::Answer::Yes;
    case IDNO:
        return form::Answer::No;
    default:
        return withCancel ? form::Answer::Cancel : form::Answer::No;
    }
}

std::unique_ptr<form::Progress> Win32UserDialogs::startProgress(std::string_view label, std::uint64_t total) {
    return std::make_unique<Win32Progress>(m_owner.hwnd(), WideFromUtf8(label), total);
}

std::wstring JoinedPatterns(const form::FileFilter& filter) {
    std::wstring patterns;
    for (const std::string& pattern : filter.patterns) {
        patterns += (patterns.empty() ? L"" : L";") + WideFromUtf8(pattern);
    }
    return patterns;
}

std::wstring NulSeparatedFilter(const std::vector<form::FileFilter>& filters) {
    std::wstring list;
    for (const form::FileFilter& filter : filters) {
        list += WideFromUtf8(filter.label) + L'\0' + JoinedPatterns(filter) + L'\0';
    }
    list.push_back(L'\0'); // with c_str()'s own NUL, the list ends in two
    return list;
}

} // namespace tarvex::win32
