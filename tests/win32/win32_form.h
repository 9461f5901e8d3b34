// SPDX-License-Identifier: MIT
// The Win32 form as the application wires it, made without a modal loop, and the helpers that
// find and answer the windows it opens; shared by the tests of the window and of its dialogs.
#pragma once

#include "form/fake_ports.h"

#include "form/form_presenter.h"
#include "win32/profile.h"
#include "win32/tarvex_dlg.h"
#include "win32/text.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <array>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace tarvex::win32 {

inline std::wstring ClassOf(HWND window) {
    std::array<wchar_t, 64> name{};
    GetClassNameW(window, name.data(), static_cast<int>(name.size()));
    return name.data();
}

// The thread's top-level windows owned by owner, of the given class.
inline std::vector<HWND> OwnedWindows(HWND owner, const std::wstring& windowClass) {
    struct Search {
        HWND owner;
        std::wstring windowClass;
        std::vector<HWND> found;
    } search{owner, windowClass, {}};
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND window, LPARAM data) {
            auto* s = reinterpret_cast<Search*>(data);
            if (GetWindow(window, GW_OWNER) == s->owner &&
                lstrcmpiW(ClassOf(window).c_str(), s->windowClass.c_str()) == 0) {
                s->found.push_back(window);
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// The form as the application wires it, made without a modal loop: the real dialog and registry
// profile, file dialogs and messages answered by fakes, no simulator, help pages recorded.
struct Form {
    explicit Form(std::optional<std::filesystem::path> settingsFile = std::nullopt)
        : window([this](const std::filesystem::path& page) {
              helpPages.push_back(page);
              return true;
          }),
          presenter(window, prompts, profile, [] { return TitleHint{}; }) {
        window.bind(presenter, std::move(settingsFile));
        EXPECT_NE(window.Create(nullptr), nullptr) << "CreateDialogIndirectParamW failed: " << GetLastError();
    }

    HWND hwnd() const { return window.hwnd(); }
    HWND item(int id) const { return window.item(id); }
    std::wstring text(int id) const { return WindowText(item(id)); }
    void type(int id, const wchar_t* text) const { SetWindowTextW(item(id), text); }
    void click(int id) const { SendMessageW(item(id), BM_CLICK, 0, 0); }

    test::FakePrompts prompts;
    RegistryProfile profile;
    std::vector<std::filesystem::path> helpPages;
    CTarvexDlg window;
    form::FormPresenter presenter;
};

// Modal boxes are read and closed by a thread timer that their modal loop runs. One that the timer
// does not recognise within ten seconds is cancelled, so that a failing test cannot hang.
inline int g_ticks = 0;

inline bool GaveUp(UINT_PTR timer) {
    if (++g_ticks < 500) {
        return false;
    }
    KillTimer(nullptr, timer);
    PostMessageW(GetActiveWindow(), WM_COMMAND, IDCANCEL, 0);
    return true;
}

} // namespace tarvex::win32
