// SPDX-License-Identifier: MIT
// The Win32 window under Wine, for its wiring: the real form made from the layout table and driven
// with window messages, its file dialogs answered by fakes; every control at its table rectangle,
// the buttons, keys and system-menu entries reaching the presenter, the registry profile, help and
// name tips. The presenter's decisions are tested without a window in tests/form, the dialogs'
// own behaviour in win32_dialogs_test.cpp.
#include "win32_form.h"

#include "support/temp_dir.h"

#include "form/form_layout.h"
#include "form/form_presenter.h"
#include "settings/settings_file.h"
#include "win32/profile.h"
#include "win32/resource_ids.h"
#include "win32/tarvex_dlg.h"
#include "win32/text.h"
#include "win32/user_dialogs.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>
#include <dlgs.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

namespace tarvex::win32 {
namespace {

// The profile of this test executable, spelled out as the window must write it.
constexpr wchar_t kProfileKey[] = L"Software\\Quendale\\win32_tests\\Options";

std::wstring ProfileValue() {
    std::array<wchar_t, 1024> value{};
    DWORD size = sizeof(value);
    if (RegGetValueW(HKEY_CURRENT_USER, kProfileKey, L"MODxy File", RRF_RT_REG_SZ, nullptr, value.data(),
                     &size) != ERROR_SUCCESS) {
        return L"(none)";
    }
    return value.data();
}

void SetProfileValue(const std::wstring& text) {
    ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, kProfileKey, L"MODxy File", REG_SZ, text.c_str(),
                              static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))),
              ERROR_SUCCESS);
}

std::wstring Wide(std::string_view ascii) {
    return {ascii.begin(), ascii.end()};
}

RECT InDialog(HWND dialog, HWND control) {
    RECT rect{};
    GetWindowRect(control, &rect);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

// As the dialog manager places a control: its origin and its size are converted each on its own.
RECT DialogUnits(HWND dialog, const form::DuRect& du) {
    RECT rect{du.x, du.y, du.width, du.height};
    MapDialogRect(dialog, &rect);
    return {rect.left, rect.top, rect.left + rect.right, rect.top + rect.bottom};
}

std::array<LONG, 4> Edges(const RECT& rect) {
    return {rect.left, rect.top, rect.right, rect.bottom};
}

// The tip of a name field, as the form answers the tooltip's question.
std::wstring TipOf(const Form& form, int id) {
    const std::vector<HWND> tips = OwnedWindows(form.hwnd(), TOOLTIPS_CLASSW);
    if (tips.size() != 1) {
        return L"(no tooltip control)";
    }
    NMTTDISPINFOW info{};
    info.hdr.hwndFrom = tips.front();
    info.hdr.idFrom = reinterpret_cast<UINT_PTR>(form.item(id));
    info.hdr.code = TTN_GETDISPINFOW;
    info.uFlags = TTF_IDISHWND;
    SendMessageW(form.hwnd(), WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&info));
    return info.lpszText != nullptr ? info.lpszText : L"(none)";
}

bool Tinted(const Form& form, int id) {
    HDC dc = CreateCompatibleDC(nullptr);
    SendMessageW(form.hwnd(), WM_CTLCOLOREDIT, reinterpret_cast<WPARAM>(dc),
                 reinterpret_cast<LPARAM>(form.item(id)));
    const COLORREF colour = GetBkColor(dc);
    DeleteDC(dc);
    return colour == RGB(255, 238, 186);
}

class Win32Form : public testing::Test {
protected:
    void SetUp() override { RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Quendale"); }
};

TEST_F(Win32Form, ControlsSitAtTheirDialogUnitRectangles) {
    Form form;
    const HWND dialog = form.hwnd();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(WindowText(dialog), L"Tarvex");
    const auto style = static_cast<DWORD>(GetWindowLongPtrW(dialog, GWL_STYLE));
    const auto exStyle = static_cast<DWORD>(GetWindowLongPtrW(dialog, GWL_EXSTYLE));
    EXPECT_EQ(style & (WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_VISIBLE),
              DWORD{WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_VISIBLE});
    EXPECT_TRUE(exStyle & WS_EX_APPWINDOW);
    EXPECT_TRUE(exStyle & WS_EX_DLGMODALFRAME);
    LOGFONTW font{};
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(dialog, WM_GETFONT, 0, 0)), sizeof(font), &font);
    EXPECT_STREQ(font.lfFaceName, L"MS Sans Serif");
    RECT client{};
    GetClientRect(dialog, &client);
    const RECT size = DialogUnits(dialog, form::kFormSize);
    EXPECT_EQ(client.right, size.right);
    EXPECT_EQ(client.bottom, size.bottom);

    const auto expect = [&](int id, const form::DuRect& du, const wchar_t* windowClass) {
        SCOPED_TRACE(id);
        const HWND control = form.item(id);
        ASSERT_NE(control, nullptr);
        EXPECT_EQ(lstrcmpiW(ClassOf(control).c_str(), windowClass), 0) << ClassOf(control).c_str();
        const RECT want = DialogUnits(dialog, du);
        const RECT got = InDialog(dialog, control);
        EXPECT_EQ(Edges(got), Edges(want));
    };
    std::size_t controls = 0;
    for (const form::Control& control : form::kControls) {
        if (control.id == form::kNoControlId) {
            continue;
        }
        const bool button =
            control.kind == form::ControlKind::Button || control.kind == form::ControlKind::DefaultButton;
        expect(control.id, control.rect, button ? L"Button" : L"Edit");
        ++controls;
        if (button) {
            EXPECT_EQ(form.text(control.id), Wide(control.text));
            const auto kind = GetWindowLongPtrW(form.item(control.id), GWL_STYLE) & BS_TYPEMASK;
            EXPECT_EQ(kind, control.id == form::kExitId ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON) << control.id;
        }
    }
    EXPECT_EQ(controls, form::kTabOrder.size());

    // The group frames and Key labels, in the order made.
    std::vector<std::pair<std::wstring, RECT>> frames;
    for (HWND child = GetWindow(dialog, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
        if (GetDlgCtrlID(child) == -1) {
            frames.emplace_back(WindowText(child), InDialog(dialog, child));
        }
    }
    ASSERT_EQ(frames.size(), 4U);
    for (std::size_t g = 0; g < 2; ++g) {
        const form::GroupLayout& group = *form::kGroups[g];
        EXPECT_EQ(frames[2 * g].first, Wide(group.caption));
        EXPECT_EQ(frames[2 * g].second.top, DialogUnits(dialog, group.box).top);
        EXPECT_EQ(frames[2 * g + 1].first, L"Key");
        EXPECT_EQ(frames[2 * g + 1].second.top, DialogUnits(dialog, {0, group.keyLabelY, 1, 1}).top);
    }
}

TEST_F(Win32Form, TabOrderStartsAtTheFirstWidthBound) {
    Form form;
    EXPECT_EQ(GetDlgCtrlID(GetFocus()), form::kTabOrder.front());
    for (std::size_t i = 0; i < form::kTabOrder.size(); ++i) {
        const int next = form::kTabOrder[(i + 1) % form::kTabOrder.size()];
        EXPECT_EQ(GetDlgCtrlID(GetNextDlgTabItem(form.hwnd(), form.item(form::kTabOrder[i]), FALSE)), next)
            << "after " << form::kTabOrder[i];
    }
}

// Load shows the file's tables and Keys; Save writes the same 1348 bytes back, the bound that the
// field shows rounded included.
TEST_F(Win32Form, LoadShowsTheFileAndSaveWritesItsBytes) {
    test::TempDir dir;
    SettingsFile settings;
    settings.tableN.widthBounds = {1.23456789e-6, 2e-6, 0, 0, 0, 0};
    settings.tableP.lengthBounds = {0.5e-6, 1e-6, 2.5e-6, 0, 0, 0};
    SetPartName(settings.tableN, 0, 0, "nch_w0_l0");
    SetPartName(settings.tableP, 4, 1, "PCH_LONG_NAME_19_CH");
    SetKeyText(settings.keyN, "NX");
    SetKeyText(settings.keyP, "PX");
    ASSERT_TRUE(SaveSettings(dir / "in.amd", settings));

    Form form;
    form.prompts.answers = {dir / "in.amd"};
    form.click(form::kLoadId);
    EXPECT_EQ(form.text(1060), L"1.23457e-06");
    EXPECT_EQ(form.text(1063), L"2e-06");
    EXPECT_EQ(form.text(1064), L"");
    EXPECT_EQ(form.text(1103), L"1e-06");
    // Names as the form reads them, whole; the field shows a long one cut.
    EXPECT_EQ(form.window.fieldText(1068, 19), "nch_w0_l0");
    EXPECT_EQ(form.window.fieldText(1117, 19), "PCH_LONG_NAME_19_CH");
    EXPECT_EQ(form.text(1117).front(), L'\u2026');
    EXPECT_EQ(form.text(1028), L"NX");
    EXPECT_EQ(form.text(1029), L"PX");

    form.prompts.answers = {dir / "out.amd"};
    form.click(form::kSaveId);
    const std::string saved = test::ReadFileBytes(dir / "out.amd");
    EXPECT_EQ(saved.size(), kSettingsFileSize);
    EXPECT_EQ(saved, test::ReadFileBytes(dir / "in.amd"));
    EXPECT_TRUE(form.prompts.messages.empty());
}

TEST_F(Win32Form, ProcessWritesTheBackupAndTheNetlist) {
    test::TempDir dir;
    const std::filesystem::path folder = dir.path() / L"J\u00f6rg \u65e5\u672c";
    std::filesystem::create_directory(folder);
    const std::string netlist = "* amp\r\nM1 d g s b MODxyN L=1u W=2u\r\nM2 d g s b MODxyP L=1u W=2u\r\n";
    test::WriteFileBytes(folder / "amp.net", netlist);

    Form form;
    for (const int id : {1060, 1096}) {
        form.type(id, L"1u");
    }
    for (const int id : {1063, 1097}) {
        form.type(id, L"5u");
    }
    for (const int id : {1023, 1102}) {
        form.type(id, L"0.5u");
    }
    for (const int id : {1056, 1103}) {
        form.type(id, L"2u");
    }
    form.type(1068, L"NCH_S");
    form.type(1108, L"PCH_S");
    form.prompts.answers = {folder / "amp.net"};
    form.click(form::kProcessId);

    EXPECT_TRUE(form.prompts.messages.empty()) << form.prompts.messages.front();
    EXPECT_EQ(test::ReadFileBytes(folder / "amp.ant"), netlist);
    EXPECT_EQ(test::ReadFileBytes(folder / "amp.net"),
              "* amp\r\nM1 d g s b NCH_S L=1u W=2u\r\nM2 d g s b PCH_S L=1u W=2u\r\n");

    // The run's cells are tinted and tell their count; a name typed keeps the count.
    EXPECT_EQ(TipOf(form, 1068), L"N, width bin 1, length bin 1: NCH_S\r\n1 device in the last run");
    EXPECT_TRUE(Tinted(form, 1068));
    EXPECT_FALSE(Tinted(form, 1071));
    form.type(1068, L"NCH_TYPED");
    EXPECT_EQ(TipOf(form, 1068), L"N, width bin 1, length bin 1: NCH_TYPED\r\n1 device in the last run");
    EXPECT_EQ(TipOf(form, 1063), L"N, width bound 2: 5e-06");
}

// How the form is closed decides whether the profile remembers the settings file.
struct Closing {
    const char* name;
    void (*close)(const Form& form);
    INT_PTR result;
    bool remembers;
};

void PressKey(const Form& form, WPARAM key) {
    MSG message{form.item(1064), WM_KEYDOWN, key, 0, 0, {}};
    EXPECT_TRUE(IsDialogMessageW(form.hwnd(), &message));
}

const Closing kClosings[] = {
    {"ExitButton", [](const Form& form) { form.click(form::kExitId); }, IDOK, true},
    {"EnterInAField", [](const Form& form) { PressKey(form, VK_RETURN); }, IDOK, true},
    {"Escape", [](const Form& form) { PressKey(form, VK_ESCAPE); }, IDCANCEL, false},
    // The dialog manager answers the close box by posting IDCANCEL.
    {"CloseBox",
     [](const Form& form) {
         SendMessageW(form.hwnd(), WM_SYSCOMMAND, SC_CLOSE, 0);
         MSG message;
         while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
             DispatchMessageW(&message);
         }
     },
     IDCANCEL, false},
};

class Win32Closing : public Win32Form, public testing::WithParamInterface<Closing> {};

TEST_P(Win32Closing, OnlyExitWritesTheProfile) {
    test::TempDir dir;
    const std::wstring previous = (dir / "gone" / "previous.amd").native();
    SetProfileValue(previous);
    Form form;
    form.prompts.answers = {dir / "now.amd"};
    form.click(form::kLoadId);
    ASSERT_EQ(form.presenter.model().currentSettingsPath, dir / "now.amd");

    GetParam().close(form);
    EXPECT_EQ(form.window.result(), GetParam().result);
    EXPECT_FALSE(IsWindow(form.hwnd()));
    EXPECT_EQ(ProfileValue(), GetParam().remembers ? (dir / "now.amd").native() : previous);
}

INSTANTIATE_TEST_SUITE_P(Ways, Win32Closing, testing::ValuesIn(kClosings),
                         [](const testing::TestParamInfo<Closing>& tested) { return tested.param.name; });

// The remembered file is loaded at start, with the default Keys whatever it stores.
TEST_F(Win32Form, StartLoadsTheRememberedFile) {
    test::TempDir dir;
    SettingsFile settings;
    SetPartName(settings.tableN, 1, 2, "remembered");
    SetKeyText(settings.keyN, "NX");
    ASSERT_TRUE(SaveSettings(dir / "last.amd", settings));
    SetProfileValue((dir / "last.amd").native());
    Form form;
    EXPECT_EQ(form.window.fieldText(1081, 19), "remembered");
    EXPECT_EQ(form.text(1028), L"MODxyN");
}

// tarvex.exe [FILE.amd]: the file given is opened at start instead of the remembered one, its
// Keys shown. (What the command line means is tested in tests/form.)
TEST_F(Win32Form, CommandLineOpensASettingsFile) {
    test::TempDir dir;
    SettingsFile settings;
    SetPartName(settings.tableP, 4, 3, "pch_w4_l3");
    SetKeyText(settings.keyN, "NX");
    ASSERT_TRUE(SaveSettings(dir / "c35.amd", settings));
    SetProfileValue((dir / "remembered.amd").native());
    Form form(dir / "c35.amd");
    EXPECT_EQ(form.window.fieldText(1127, 19), "pch_w4_l3");
    EXPECT_EQ(WindowText(form.hwnd()), L"c35.amd - Tarvex");
    EXPECT_EQ(form.text(1028), L"NX");
    EXPECT_EQ(form.presenter.model().currentSettingsPath, dir / "c35.amd");
    EXPECT_FALSE(std::filesystem::exists(dir / "remembered.amd"));
}

// The About box, opened from the system menu.
struct AboutSeen {
    std::wstring caption;
    std::vector<std::wstring> texts;
    LRESULT defaultId = 0;
};
AboutSeen g_about;

void CALLBACK ReadAndCloseAbout(HWND /*window*/, UINT /*message*/, UINT_PTR timer, DWORD /*time*/) {
    const HWND about = GetActiveWindow();
    if (GaveUp(timer) || about == nullptr || WindowText(about) != L"About Tarvex") {
        return;
    }
    KillTimer(nullptr, timer);
    g_about.caption = WindowText(about);
    for (HWND child = GetWindow(about, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
        g_about.texts.push_back(WindowText(child));
    }
    g_about.defaultId = SendMessageW(about, DM_GETDEFID, 0, 0);
    SendMessageW(GetDlgItem(about, IDOK), BM_CLICK, 0, 0);
}

// The system menu's Import entry runs the presenter's import; a name wider than its field shows
// its end while the field is not being edited, also after an edit, and its tip the whole name.
TEST_F(Win32Form, SystemMenuImportsAndNamesShowTheirEnd) {
    test::TempDir dir;
    test::WriteFileBytes(dir / "two.lib", ".model long_card_name.0 nmos lmin=1u lmax=2u wmin=1u wmax=2u\n"
                                          ".model long_card_name.1 nmos lmin=2u lmax=3u wmin=1u wmax=2u\n");
    Form form;
    HMENU menu = GetSystemMenu(form.hwnd(), FALSE);
    std::array<wchar_t, 64> entry{};
    ASSERT_GT(
        GetMenuStringW(menu, IDM_IMPORT_BINS, entry.data(), static_cast<int>(entry.size()), MF_BYCOMMAND), 0);
    EXPECT_STREQ(entry.data(), L"Import Bins from Model Library...");

    form.prompts.answers = {dir / "two.lib", dir / "two.amd"};
    SendMessageW(form.hwnd(), WM_SYSCOMMAND, IDM_IMPORT_BINS, 0);
    ASSERT_EQ(form.prompts.infos.size(), 1u)
        << (form.prompts.messages.empty() ? "" : form.prompts.messages[0]);
    EXPECT_EQ(form.presenter.model().currentSettingsPath, dir / "two.amd");
    EXPECT_EQ(WindowText(form.hwnd()), L"two.amd - Tarvex");
    const int id = form::kGroupN.nameId(0, 1);
    const std::wstring whole = L"long_card_name.1";
    // Not being edited, the name shows its end behind an ellipsis; the form reads the whole name.
    const auto cut = [&form, id, &whole] {
        const std::wstring shown = form.text(id);
        return shown.size() > 2 && shown.front() == L'\u2026' && whole.ends_with(shown.substr(1));
    };
    EXPECT_TRUE(cut()) << form.text(id);
    EXPECT_EQ(form.window.fieldText(id, 19), "long_card_name.1");
    EXPECT_EQ(TipOf(form, id), L"N, width bin 1, length bin 2: long_card_name.1");
    EXPECT_EQ(form.text(form::kGroupN.widthBoundIds[0]), L"1e-06");

    SendMessageW(form.hwnd(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(form.item(id)), TRUE);
    EXPECT_EQ(form.text(id), whole);
    SendMessageW(form.hwnd(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(form.item(form::kGroupN.keyId)), TRUE);
    EXPECT_TRUE(cut()) << form.text(id);
}

TEST_F(Win32Form, SystemMenuEndsWithTheAboutEntry) {
    Form form;
    HMENU menu = GetSystemMenu(form.hwnd(), FALSE);
    const int count = GetMenuItemCount(menu);
    ASSERT_GE(count, 2);
    EXPECT_EQ(GetMenuItemID(menu, count - 1), UINT{IDM_ABOUT});
    std::array<wchar_t, 64> entry{};
    GetMenuStringW(menu, static_cast<UINT>(count - 1), entry.data(), static_cast<int>(entry.size()),
                   MF_BYPOSITION);
    EXPECT_STREQ(entry.data(), L"&About Tarvex...");
    MENUITEMINFOW separator{};
    separator.cbSize = sizeof(separator);
    separator.fMask = MIIM_FTYPE;
    ASSERT_TRUE(GetMenuItemInfoW(menu, static_cast<UINT>(count - 2), TRUE, &separator));
    EXPECT_TRUE(separator.fType & MFT_SEPARATOR);

    // The low four bits of a system command are the system's: the entry still matches.
    g_about = {};
    g_ticks = 0;
    const UINT_PTR timer = SetTimer(nullptr, 0, 20, ReadAndCloseAbout);
    SendMessageW(form.hwnd(), WM_SYSCOMMAND, IDM_ABOUT | 0x3, 0);
    KillTimer(nullptr, timer);
    EXPECT_EQ(g_about.caption, L"About Tarvex");
    for (const wchar_t* text : {L"Tarvex Version 1.0", L"Made by Quendale. MIT licence.", L"OK"}) {
        EXPECT_NE(std::find(g_about.texts.begin(), g_about.texts.end(), text), g_about.texts.end()) << text;
    }
    EXPECT_EQ(g_about.defaultId, MAKELRESULT(IDOK, DC_HASDEFID));
    EXPECT_TRUE(IsWindowVisible(form.hwnd()));

    EXPECT_NE(SendMessageW(form.hwnd(), WM_QUERYDRAGICON, 0, 0), 0);
    EXPECT_EQ(SendMessageW(form.hwnd(), WM_QUERYDRAGICON, 0, 0),
              SendMessageW(form.hwnd(), WM_GETICON, ICON_BIG, 0));
}

// The system menu offers the bin map before About, greyed until a Process has read its netlist;
// the map goes to a new file in the user's temporary folder and opens in the shell's viewer.
TEST_F(Win32Form, BinMapEntryOpensTheMapOfTheLastRun) {
    test::TempDir dir;
    test::WriteFileBytes(dir / "amp.net", "M1 d g s b MODxyN L=1u W=2u\r\n");
    Form form;
    HMENU menu = GetSystemMenu(form.hwnd(), FALSE);
    const int count = GetMenuItemCount(menu);
    ASSERT_GE(count, 4);
    EXPECT_EQ(GetMenuItemID(menu, count - 3), UINT{IDM_BIN_MAP});
    std::array<wchar_t, 64> entry{};
    GetMenuStringW(menu, IDM_BIN_MAP, entry.data(), static_cast<int>(entry.size()), MF_BYCOMMAND);
    EXPECT_STREQ(entry.data(), L"Bin Map of Last Run...");
    const auto greyed = [&] {
        SendMessageW(form.hwnd(), WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(menu), MAKELPARAM(0, TRUE));
        return (GetMenuState(menu, IDM_BIN_MAP, MF_BYCOMMAND) & MF_GRAYED) != 0;
    };
    EXPECT_TRUE(greyed());

    form.type(1060, L"1u");
    form.type(1063, L"5u");
    form.type(1023, L"0.5u");
    form.type(1056, L"2u");
    form.type(1068, L"NCH_S");
    form.prompts.answers = {dir / "amp.net"};
    form.click(form::kProcessId);
    EXPECT_FALSE(greyed());
    SendMessageW(form.hwnd(), WM_SYSCOMMAND, IDM_BIN_MAP, 0);

    ASSERT_EQ(form.helpPages.size(), 1u);
    const std::wstring name = form.helpPages[0].filename().wstring();
    EXPECT_TRUE(name.starts_with(L"tarvex-bin-map-") && name.ends_with(L".svg")) << form.helpPages[0];
    EXPECT_EQ(form.helpPages[0].parent_path(), form.window.privateFolder().parent_path());
    EXPECT_NE(
        test::ReadFileBytes(form.helpPages[0]).find("<title>amp.net:1: N L=1e-06 W=2e-06 NCH_S</title>"),
        std::string::npos);
    EXPECT_TRUE(form.prompts.messages.empty());
    std::filesystem::remove(form.helpPages[0]);
    form.click(form::kClearId);
    EXPECT_TRUE(greyed());
}

// "Read Sizes as SPICE Does" stands before the bin map; choosing it flips the presenter's choice,
// which the check mark shows when the menu opens and the registry keeps for the next window.
TEST_F(Win32Form, SpiceSizesEntryFlipsTheRememberedChoice) {
    {
        Form form;
        HMENU menu = GetSystemMenu(form.hwnd(), FALSE);
        const int count = GetMenuItemCount(menu);
        ASSERT_GE(count, 5);
        EXPECT_EQ(GetMenuItemID(menu, count - 4), UINT{IDM_SPICE_SIZES});
        std::array<wchar_t, 64> entry{};
        GetMenuStringW(menu, IDM_SPICE_SIZES, entry.data(), static_cast<int>(entry.size()), MF_BYCOMMAND);
        EXPECT_STREQ(entry.data(), L"Read Sizes as SPICE Does");
        const auto checked = [&] {
            SendMessageW(form.hwnd(), WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(menu), MAKELPARAM(0, TRUE));
            return (GetMenuState(menu, IDM_SPICE_SIZES, MF_BYCOMMAND) & MF_CHECKED) != 0;
        };
        EXPECT_FALSE(checked());
        SendMessageW(form.hwnd(), WM_SYSCOMMAND, IDM_SPICE_SIZES, 0);
        EXPECT_TRUE(form.presenter.ReadsSizesAsSpice());
        EXPECT_TRUE(checked());
        EXPECT_TRUE(form.profile.readsSizesAsSpice());
    }
    Form again;
    EXPECT_TRUE(again.presenter.ReadsSizesAsSpice());
    SendMessageW(again.hwnd(), WM_SYSCOMMAND, IDM_SPICE_SIZES, 0);
    EXPECT_FALSE(again.profile.readsSizesAsSpice());
}

// F1 reaches the window as the WM_HELP that the system sends to the focused field.
TEST_F(Win32Form, HelpButtonAndF1OpenThePageBesideTheExecutable) {
    Form form;
    form.click(form::kHelpId);
    HELPINFO help{};
    help.cbSize = sizeof(help);
    help.iContextType = HELPINFO_WINDOW;
    help.iCtrlId = 1060;
    help.hItemHandle = form.item(1060);
    SendMessageW(form.item(1060), WM_HELP, 0, reinterpret_cast<LPARAM>(&help));
    const std::filesystem::path page = ExecutablePath().parent_path() / "help.html";
    EXPECT_EQ(form.helpPages, (std::vector<std::filesystem::path>{page, page}));
    EXPECT_TRUE(form.prompts.requests.empty());
}

// The right-click menu holds the form's list of entries, the bin map waiting for a run; an entry
// reaches the presenter. The shortcuts are the form's list as accelerators.
TEST_F(Win32Form, RightClickMenuAndShortcutsComeFromTheFormsLists) {
    test::TempDir dir;
    test::WriteFileBytes(dir / "one.lib", ".model card.0 nmos lmin=1u lmax=2u wmin=1u wmax=2u\n");
    Form form;
    HMENU menu = form.window.makeMenu();
    std::vector<std::wstring> entries;
    for (int i = 0; i < GetMenuItemCount(menu); ++i) {
        std::array<wchar_t, 64> text{};
        GetMenuStringW(menu, static_cast<UINT>(i), text.data(), static_cast<int>(text.size()), MF_BYPOSITION);
        const UINT state = GetMenuState(menu, static_cast<UINT>(i), MF_BYPOSITION);
        entries.push_back((state & MF_SEPARATOR) != 0
                              ? L"-"
                              : text.data() + std::wstring((state & MF_GRAYED) ? L" (grey)" : L""));
    }
    DestroyMenu(menu);
    EXPECT_EQ(entries,
              (std::vector<std::wstring>{L"Import Bins from Model Library...", L"Read Sizes as SPICE Does",
                                         L"Bin Map of Last Run... (grey)", L"-", L"&About Tarvex..."}));

    form.prompts.answers = {dir / "one.lib", dir / "one.amd"};
    form.window.runMenuEntry(CTarvexDlg::kFirstMenuId);
    ASSERT_EQ(form.prompts.requests.size(), 2u);
    EXPECT_EQ(form.prompts.requests[0].title, "Import Model Library");
    EXPECT_EQ(form.presenter.model().currentSettingsPath, dir / "one.amd");
    EXPECT_EQ(form.window.fieldText(form::kGroupN.nameId(0, 0), 19), "card.0");

    HACCEL shortcuts = CTarvexDlg::MakeAccelerators();
    std::array<ACCEL, 8> keys{};
    const int count = CopyAcceleratorTableW(shortcuts, keys.data(), static_cast<int>(keys.size()));
    DestroyAcceleratorTable(shortcuts);
    std::vector<std::tuple<int, int, int>> table;
    for (int i = 0; i < count; ++i) {
        table.emplace_back(keys[static_cast<std::size_t>(i)].fVirt & (FVIRTKEY | FCONTROL),
                           keys[static_cast<std::size_t>(i)].key, keys[static_cast<std::size_t>(i)].cmd);
    }
    EXPECT_EQ(table, (std::vector<std::tuple<int, int, int>>{{FVIRTKEY | FCONTROL, 'O', form::kLoadId},
                                                             {FVIRTKEY | FCONTROL, 'S', form::kSaveId},
                                                             {FVIRTKEY | FCONTROL, 'P', form::kProcessId},
                                                             {FVIRTKEY, VK_F1, form::kHelpId}}));
    // An accelerator's command (code 1) reaches the button's command.
    SendMessageW(form.hwnd(), WM_COMMAND, MAKEWPARAM(form::kLoadId, 1), 0);
    EXPECT_EQ(form.prompts.requests.size(), 3u);
}

TEST_F(Win32Form, NameFieldsShowTheirHints) {
    Form form;
    const std::vector<HWND> tips = OwnedWindows(form.hwnd(), TOOLTIPS_CLASSW);
    ASSERT_EQ(tips.size(), 1U);
    // A tool per edit field: bounds, names and Keys.
    EXPECT_EQ(SendMessageW(tips.front(), TTM_GETTOOLCOUNT, 0, 0),
              2 * (kBinCount * kBinCount + 2 * kBoundCount + 1));
    form::FormView& view = form.window;
    view.setFieldHint(1122, "A_PART_NAME_TOO_WIDE\n2 devices in the last run", true);
    EXPECT_EQ(TipOf(form, 1122), L"A_PART_NAME_TOO_WIDE\r\n2 devices in the last run");
    EXPECT_TRUE(Tinted(form, 1122));
    EXPECT_FALSE(Tinted(form, 1123));
    view.setFieldHint(1122, "", false);
    EXPECT_EQ(TipOf(form, 1122), L"");
    EXPECT_FALSE(Tinted(form, 1122));
}

} // namespace
} // namespace tarvex::win32
