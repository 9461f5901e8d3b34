// SPDX-License-Identifier: MIT
// The Win32 implementations of the form's ports under Wine: field text in the ANSI code page, the
// file filters, the stop message, the real open dialog and the progress display.
#include "win32_form.h"

#include "support/temp_dir.h"

#include "win32/text.h"
#include "win32/user_dialogs.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <dlgs.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <tuple>
#include <vector>

namespace tarvex::win32 {
namespace {

// Field text is stored in the ANSI code page and cut to the byte limit without splitting a character.
TEST(Win32Text, FieldBytesKeepWholeCharacters) {
    EXPECT_EQ(ToFieldBytes(L"ABCDEFGHIJKLMNOPQRSTUVWXY", 19, 1252), "ABCDEFGHIJKLMNOPQRS");
    EXPECT_EQ(ToFieldBytes(L"\u00e4\u65e5", 19, 1252), "\xE4?");
    const std::wstring kanji(10, L'\u65e5');
    const std::string cut = ToFieldBytes(kanji, 19, 932); // two bytes each in Shift JIS
    EXPECT_EQ(cut.size(), 18U);
    EXPECT_EQ(FromFieldBytes(cut, 932), kanji.substr(0, 9));
    EXPECT_EQ(ToFieldBytes(L"ab\U0001F600", 5, CP_UTF8), "ab");
    EXPECT_EQ(ToFieldBytes(L"ab\U0001F600", 6, CP_UTF8), "ab\xF0\x9F\x98\x80");

    Form form;
    form::FormView& view = form.window;
    const std::string ansi = ToFieldBytes(L"N\u00e4me", 19);
    view.setFieldText(1068, ansi);
    EXPECT_EQ(form.text(1068), FromFieldBytes(ansi));
    EXPECT_TRUE(view.showsText(1068, ansi));
    EXPECT_EQ(view.fieldText(1068, 19), ansi);
    form.type(1068, L"ABCDEFGHIJKLMNOPQRSTUVWXY");
    EXPECT_FALSE(view.showsText(1068, ansi));
    EXPECT_EQ(view.fieldText(1068, 19), "ABCDEFGHIJKLMNOPQRS");
}

TEST(Win32Dialogs, FiltersBecomeNulSeparated) {
    constexpr wchar_t kExpected[] = L"MODxy Files (*.amd)\0*.amd\0All Files (*.*)\0*.*\0\0";
    const form::FileFilter all{"All Files (*.*)", {"*.*"}};
    EXPECT_EQ(NulSeparatedFilter({{"MODxy Files (*.amd)", {"*.amd"}}, all}),
              std::wstring(kExpected, std::size(kExpected) - 1));
    EXPECT_EQ(NulSeparatedFilter({all}), std::wstring(L"All Files (*.*)\0*.*\0\0", 21));
    EXPECT_EQ(JoinedPatterns({"Models (*.lib *.sp)", {"*.lib", "*.sp"}}), L"*.lib;*.sp");
}

// The stop message: a box captioned "Tarvex" with the message and OK, its details (when there are
// any) behind a control that shows them.
struct StopSeen {
    std::wstring caption;
    std::vector<std::wstring> texts;
    bool hasOk = false;
};
StopSeen g_stop;

void CALLBACK ReadAndCloseStop(HWND /*window*/, UINT /*message*/, UINT_PTR timer, DWORD /*time*/) {
    const HWND box = GetActiveWindow();
    if (GaveUp(timer) || box == nullptr || WindowText(box) != L"Tarvex") {
        return;
    }
    KillTimer(nullptr, timer);
    g_stop.caption = WindowText(box);
    EnumChildWindows(
        box,
        [](HWND child, LPARAM) {
            g_stop.texts.push_back(WindowText(child));
            return TRUE;
        },
        0);
    g_stop.hasOk = GetDlgItem(box, IDOK) != nullptr;
    PostMessageW(box, WM_COMMAND, IDOK, 0);
}

bool Holds(const std::vector<std::wstring>& texts, const std::wstring& part) {
    return std::any_of(texts.begin(), texts.end(),
                       [&](const std::wstring& text) { return text.find(part) != std::wstring::npos; });
}

TEST(Win32Dialogs, StopMessageOffersItsDetails) {
    Form form;
    Win32UserDialogs dialogs(form.window);
    for (const std::string details : {"", "amp.net:14: N L=1e-05 W=4e-05 no bin\nand 3 more"}) {
        SCOPED_TRACE(details);
        g_stop = {};
        g_ticks = 0;
        const UINT_PTR timer = SetTimer(nullptr, 0, 20, ReadAndCloseStop);
        dialogs.showStop("Error: No MODxyN bin for L=1e-05 W=4e-05!", details);
        KillTimer(nullptr, timer);
        EXPECT_EQ(g_stop.caption, L"Tarvex");
        EXPECT_TRUE(g_stop.hasOk);
        EXPECT_TRUE(Holds(g_stop.texts, L"Error: No MODxyN bin for L=1e-05 W=4e-05!"));
        EXPECT_EQ(Holds(g_stop.texts, L"amp.net:14: N L=1e-05 W=4e-05 no bin"), !details.empty());
    }
}

// The real open dialog, answered by a timer that its modal loop runs: it starts in the folder
// asked for, offers the filters, and gives back the chosen path whole, whatever its characters.
struct FileDialogSeen {
    HWND owner = nullptr;
    std::wstring firstFilter;
    LRESULT filterCount = 0;
    std::wstring offered;
};
FileDialogSeen g_fileDialog;

void CALLBACK AnswerFileDialog(HWND /*window*/, UINT /*message*/, UINT_PTR timer, DWORD /*time*/) {
    const HWND dialog = GetActiveWindow();
    const HWND filters = GetDlgItem(dialog, cmb1);
    HWND name = GetDlgItem(dialog, cmb13);
    if (name == nullptr) {
        name = GetDlgItem(dialog, edt1);
    }
    if (GaveUp(timer) || dialog == nullptr || filters == nullptr || name == nullptr) {
        return;
    }
    KillTimer(nullptr, timer);
    g_fileDialog.owner = GetWindow(dialog, GW_OWNER);
    g_fileDialog.filterCount = SendMessageW(filters, CB_GETCOUNT, 0, 0);
    g_fileDialog.firstFilter = WindowText(filters);
    g_fileDialog.offered = WindowText(name);
    SetWindowTextW(name, L"Verst\u00e4rker \u03a9.net");
    SendMessageW(dialog, WM_COMMAND, IDOK, 0);
}

TEST(Win32Dialogs, OpenDialogReturnsTheChosenPath) {
    test::TempDir dir;
    const std::filesystem::path folder = dir.path() / L"J\u00f6rg \u65e5\u672c";
    std::filesystem::create_directory(folder);
    test::WriteFileBytes(folder / L"Verst\u00e4rker \u03a9.net", "* amp\n");
    Form form;
    Win32UserDialogs dialogs(form.window);
    form::FileRequest request;
    request.filters = {
        {"Net Files (*.net)", {"*.net"}}, {"Backup Files (*.ant)", {"*.ant"}}, {"All Files (*.*)", {"*.*"}}};
    request.defaultExtension = "NET";
    request.initialName = "amp.net";
    request.startFolder = folder;
    form::FileRequest settings = request; // as Save asks: its pattern in the name box
    settings.filters = {{"MODxy Files (*.amd)", {"*.amd"}}, {"All Files (*.*)", {"*.*"}}};
    settings.patternAsName = true;
    for (const auto& [asked, offered, first] : {std::tuple{request, L"amp.net", L"Net Files (*.net)"},
                                                std::tuple{settings, L"*.amd", L"MODxy Files (*.amd)"}}) {
        g_fileDialog = {};
        g_ticks = 0;
        const UINT_PTR timer = SetTimer(nullptr, 0, 20, AnswerFileDialog);
        const auto chosen = dialogs.askFile(asked);
        KillTimer(nullptr, timer);
        EXPECT_EQ(g_fileDialog.owner, form.hwnd());
        EXPECT_EQ(g_fileDialog.filterCount, static_cast<LRESULT>(asked.filters.size()));
        EXPECT_EQ(g_fileDialog.firstFilter, first);
        EXPECT_EQ(g_fileDialog.offered, offered);
        ASSERT_TRUE(chosen);
        EXPECT_TRUE(std::filesystem::equivalent(*chosen, folder / L"Verst\u00e4rker \u03a9.net"))
            << chosen->string();
    }
}

// The progress display appears once the work has lasted half a second, disables the form, and its
// Cancel stops the work.
TEST(Win32Dialogs, ProgressAppearsLateAndCancels) {
    Form form;
    Win32UserDialogs dialogs(form.window);
    auto progress = dialogs.startProgress("Processing amp.net", 1000);
    EXPECT_TRUE(progress->update(10));
    EXPECT_TRUE(OwnedWindows(form.hwnd(), L"#32770").empty());
    Sleep(600);
    EXPECT_TRUE(progress->update(20));
    const std::vector<HWND> shown = OwnedWindows(form.hwnd(), L"#32770");
    ASSERT_EQ(shown.size(), 1U);
    EXPECT_EQ(WindowText(shown.front()), L"Tarvex");
    std::vector<std::wstring> texts;
    for (HWND child = GetWindow(shown.front(), GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT)) {
        texts.push_back(WindowText(child));
    }
    EXPECT_EQ(texts, (std::vector<std::wstring>{L"Processing amp.net", L"", L"Cancel"}));
    EXPECT_FALSE(IsWindowEnabled(form.hwnd()));

    SendMessageW(GetDlgItem(shown.front(), IDCANCEL), BM_CLICK, 0, 0);
    EXPECT_FALSE(progress->update(30));
    progress.reset();
    EXPECT_FALSE(IsWindow(shown.front()));
    EXPECT_TRUE(IsWindowEnabled(form.hwnd()));
}

} // namespace
} // namespace tarvex::win32
