// SPDX-License-Identifier: MIT
#include "win32/tarvex_dlg.h"

#include "form/form_commands.h"
#include "form/form_layout.h"
#include "form/form_presenter.h"
#include "win32/about_dlg.h"
#include "win32/dialog_template.h"
#include "win32/resource_ids.h"
#include "win32/text.h"

#include <commctrl.h>
#include <shellapi.h>
#include <windowsx.h>

#include <algorithm>
#include <array>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tarvex::win32 {
namespace {

constexpr COLORREF ToColorRef(form::Rgb rgb) {
    return RGB(rgb.red, rgb.green, rgb.blue);
}

constexpr COLORREF kUsedCell = ToColorRef(form::kUsedCellTint);
// Tooltips wider than this break into lines; they break at line ends as well.
constexpr LPARAM kTipWidth = 480;

std::wstring Ascii(std::string_view text) {
    return {text.begin(), text.end()};
}

// The form from the control list: the tab stops in tab order, then (behind them) the group frames
// and the Key labels.
std::vector<WORD> FormTemplate() {
    DialogTemplate dialog(DS_MODALFRAME | DS_CENTER | WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU |
                              WS_MINIMIZEBOX,
                          WS_EX_APPWINDOW, form::kFormSize, Ascii(form::kFormCaption), 8, L"MS Sans Serif");
    for (const form::Control& control : form::kControls) {
        switch (control.kind) {
        case form::ControlKind::DefaultButton:
            dialog.add(L"BUTTON", control.id, Ascii(control.text), WS_TABSTOP | BS_DEFPUSHBUTTON,
                       control.rect);
            break;
        case form::ControlKind::Button:
            dialog.add(L"BUTTON", control.id, Ascii(control.text), WS_TABSTOP | BS_PUSHBUTTON, control.rect);
            break;
        case form::ControlKind::Field:
        case form::ControlKind::NameField:
            dialog.add(L"EDIT", control.id, {}, WS_TABSTOP | WS_BORDER | ES_LEFT | ES_AUTOHSCROLL,
                       control.rect);
            break;
        case form::ControlKind::GroupBox:
            dialog.add(L"BUTTON", control.id, Ascii(control.text), BS_GROUPBOX, control.rect);
            break;
        case form::ControlKind::Label:
            dialog.add(L"STATIC", control.id, Ascii(control.text), SS_LEFT, control.rect);
            break;
        }
    }
    return dialog.words();
}

HICON LoadAppIcon(int sizeMetric) {
    const int side = GetSystemMetrics(sizeMetric);
    return static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_TARVEX), IMAGE_ICON,
                                         side, side, LR_SHARED));
}

// The notification code of a WM_COMMAND sent by an accelerator key.
constexpr int kAcceleratorCode = 1;

// One accelerator of the form's shortcuts: "Ctrl+" and a capital letter, or "F" and a number.
ACCEL ToAccelerator(const form::Shortcut& shortcut) {
    constexpr std::string_view control = "Ctrl+";
    ACCEL accelerator{FVIRTKEY, 0, static_cast<WORD>(shortcut.commandId)};
    std::string_view keys = shortcut.keys;
    if (keys.starts_with(control)) {
        accelerator.fVirt |= FCONTROL;
        keys.remove_prefix(control.size());
    }
    if (keys.size() > 1 && keys.front() == 'F') {
        accelerator.key = static_cast<WORD>(VK_F1 + std::stoi(std::string(keys.substr(1))) - 1);
    } else if (keys.size() == 1) {
        accelerator.key = static_cast<WORD>(keys.front());
    }
    return accelerator;
}

RECT ToClient(HWND dialog, HWND control) {
    RECT rect{};
    GetWindowRect(control, &rect);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

} // namespace

CTarvexDlg::CTarvexDlg(HelpOpener openHelp)
    : Dialog(FormTemplate()), m_openHelp(std::move(openHelp)), m_icon(LoadAppIcon(SM_CXICON)),
      m_smallIcon(LoadAppIcon(SM_CXSMICON)), m_tint(CreateSolidBrush(kUsedCell)) {}

CTarvexDlg::~CTarvexDlg() {
    DeleteObject(m_tint);
}

void CTarvexDlg::bind(form::FormPresenter& presenter, std::optional<std::filesystem::path> settingsFile) {
    m_presenter = &presenter;
    m_settingsFile = std::move(settingsFile);
    presenter.setFileViewer(*this);
}

bool CTarvexDlg::OnInit() {
    for (const form::Control& control : form::kControls) {
        if (control.kind == form::ControlKind::NameField) {
            m_names[control.id];
        }
        if (control.kind == form::ControlKind::NameField || control.kind == form::ControlKind::Field) {
            m_fieldIds.insert(control.id);
        }
    }
    addAboutToSystemMenu();
    SendMessageW(hwnd(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_icon));
    SendMessageW(hwnd(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_smallIcon));
    addFieldTips();
    if (m_presenter == nullptr) {
        return true;
    }
    run([this](form::FormPresenter& presenter) { presenter.StartUp(m_settingsFile); });
    return false; // StartUp has put the focus on the first field
}

// The import, the size rule and the bin map come before About, in a group of their own; the map's
// entry is enabled whenever the menu opens after a completed Process, and the size rule's check mark
// follows the presenter.
void CTarvexDlg::addAboutToSystemMenu() {
    const std::wstring entry = ResourceString(IDS_ABOUT_ENTRY);
    const std::wstring import = ResourceString(IDS_IMPORT_ENTRY);
    HMENU menu = GetSystemMenu(hwnd(), FALSE);
    if (menu == nullptr) {
        return;
    }
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    if (!import.empty()) {
        AppendMenuW(menu, MF_STRING, IDM_IMPORT_BINS, import.c_str());
    }
    AppendMenuW(menu, MF_STRING, IDM_SPICE_SIZES, Ascii(form::kSpiceSizesEntry).c_str());
    AppendMenuW(menu, MF_STRING | MF_GRAYED, IDM_BIN_MAP, Ascii(form::kBinMapEntry).c_str());
    if (!entry.empty()) {
        AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
        AppendMenuW(menu, MF_STRING, IDM_ABOUT, entry.c_str());
    }
}

HACCEL CTarvexDlg::MakeAccelerators() {
    std::vector<ACCEL> keys;
    for (const form::Shortcut& shortcut : form::kShortcuts) {
        keys.push_back(ToAccelerator(shortcut));
    }
    return CreateAcceleratorTableW(keys.data(), static_cast<int>(keys.size()));
}

HMENU CTarvexDlg::makeMenu() const {
    HMENU menu = CreatePopupMenu();
    for (std::size_t i = 0; i < form::kMenuEntries.size(); ++i) {
        const form::MenuEntry& entry = form::kMenuEntries[i];
        if (entry.separatorBefore) {
            AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
        }
        const bool enabled = m_presenter == nullptr ? entry.command == form::MenuCommand::About
                                                    : m_presenter->MenuEntryEnabled(entry.command);
        const bool checked = m_presenter != nullptr && m_presenter->MenuEntryChecked(entry.command);
        AppendMenuW(menu, MF_STRING | (enabled ? MF_ENABLED : MF_GRAYED) | (checked ? MF_CHECKED : MF_UNCHECKED),
                    kFirstMenuId + i, Ascii(entry.text).c_str());
    }
    return menu;
}

void CTarvexDlg::showMenu(POINT point) {
    HMENU menu = makeMenu();
    const auto chosen = static_cast<UINT>(
        TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON, point.x, point.y, 0, hwnd(), nullptr));
    DestroyMenu(menu);
    runMenuEntry(chosen);
}

void CTarvexDlg::runMenuEntry(UINT id) {
    if (id < kFirstMenuId || id >= kFirstMenuId + form::kMenuEntries.size()) {
        return;
    }
    const form::MenuCommand command = form::kMenuEntries[id - kFirstMenuId].command;
    if (command == form::MenuCommand::About) {
        CAboutDlg about;
        about.DoModal(hwnd());
        return;
    }
    run([command](form::FormPresenter& presenter) { presenter.RunMenuCommand(command); });
}

std::filesystem::path CTarvexDlg::privateFolder() {
    std::array<wchar_t, MAX_PATH + 1> folder{};
    const DWORD length = GetTempPathW(static_cast<DWORD>(folder.size()), folder.data());
    return length > 0 && length < folder.size() ? std::filesystem::path(folder.data())
                                                : std::filesystem::path();
}

bool CTarvexDlg::open(const std::filesystem::path& file) {
    return m_openHelp(file);
}

std::filesystem::path CTarvexDlg::helpPage() {
    return HelpPage();
}

bool CTarvexDlg::showHelp(const std::filesystem::path& page) {
    return m_openHelp(page);
}

// The fields are narrower than a part name or a precise bound; a tip shows what the presenter says
// of the field under the mouse (the whole name or bound, the last run's count), asked for when it
// is about to appear.
void CTarvexDlg::addFieldTips() {
    m_tips = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                             CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hwnd(), nullptr,
                             GetModuleHandleW(nullptr), nullptr);
    if (m_tips == nullptr) {
        return;
    }
    SendMessageW(m_tips, TTM_SETMAXTIPWIDTH, 0, kTipWidth);
    for (const int id : m_fieldIds) {
        TTTOOLINFOW tool{};
        tool.cbSize = TTTOOLINFOW_V2_SIZE;
        tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
        tool.hwnd = hwnd();
        tool.uId = reinterpret_cast<UINT_PTR>(item(id));
        tool.lpszText = LPSTR_TEXTCALLBACKW;
        SendMessageW(m_tips, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    }
}

// A part-name field not being edited holds its whole name here and shows it cut.
std::wstring CTarvexDlg::textOf(int id) const {
    const auto name = m_names.find(id);
    return name != m_names.end() && GetFocus() != item(id) ? name->second : WindowText(item(id));
}

std::string CTarvexDlg::fieldText(int id, std::size_t maxBytes) const {
    return ToFieldBytes(textOf(id), maxBytes);
}

void CTarvexDlg::setFieldText(int id, std::string_view bytes) {
    const std::wstring text = FromFieldBytes(bytes);
    if (const auto name = m_names.find(id); name != m_names.end()) {
        name->second = text;
        if (GetFocus() != item(id)) {
            showCut(id);
            return;
        }
    }
    // Setting the text puts the caret and the view at its beginning.
    showText(id, text);
}

void CTarvexDlg::showText(int id, const std::wstring& text) {
    m_settingText = true;
    SetWindowTextW(item(id), text.c_str());
    m_settingText = false;
}

// A part name is wider than its field more often than not; the end is where the names of one
// library differ, so a field not being edited shows the end behind an ellipsis that says the name
// is cut ("…3v3.10").
void CTarvexDlg::showCut(int id) {
    HWND field = item(id);
    const std::wstring& name = m_names.at(id);
    RECT room{};
    SendMessageW(field, EM_GETRECT, 0, reinterpret_cast<LPARAM>(&room));
    HDC dc = GetDC(field);
    HGDIOBJ oldFont = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(field, WM_GETFONT, 0, 0)));
    const auto fits = [dc, width = room.right - room.left](const std::wstring& text) {
        SIZE size{};
        GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
        return size.cx <= width;
    };
    std::wstring shown = name;
    for (std::size_t cut = 1; !fits(shown) && cut < name.size(); ++cut) {
        shown = L"\u2026" + name.substr(cut);
    }
    SelectObject(dc, oldFont);
    ReleaseDC(field, dc);
    showText(id, shown);
}

bool CTarvexDlg::showsText(int id, std::string_view bytes) const {
    return textOf(id) == FromFieldBytes(bytes);
}

void CTarvexDlg::setFieldHint(int id, std::string_view toolTip, bool tinted) {
    std::wstring text;
    for (const wchar_t c : FromFieldBytes(toolTip)) {
        if (c == L'\n') {
            text += L'\r'; // a tooltip breaks its lines at CR LF
        }
        text += c;
    }
    m_hints[id] = std::move(text);
    if (tinted != m_tinted.contains(id)) {
        if (tinted) {
            m_tinted.insert(id);
        } else {
            m_tinted.erase(id);
        }
        InvalidateRect(item(id), nullptr, TRUE);
    }
}

void CTarvexDlg::focusControl(int id) {
    if (HWND control = item(id)) {
        SendMessageW(hwnd(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(control), TRUE);
    }
}

// WM_NEXTDLGCTL selects an edit field's whole text, as tabbing into it does.
void CTarvexDlg::selectField(int id) {
    focusControl(id);
    SendMessageW(item(id), EM_SETSEL, 0, -1);
}

void CTarvexDlg::setTitle(std::string_view title) {
    SetWindowTextW(hwnd(), WideFromUtf8(title).c_str());
}

void CTarvexDlg::endDialog(bool accepted) {
    End(accepted ? IDOK : IDCANCEL);
}

bool CTarvexDlg::OnCommand(int id, int code) {
    if (const auto name = m_names.find(id); name != m_names.end() && code == EN_SETFOCUS) {
        showText(id, name->second);
        SendMessageW(item(id), EM_SETSEL, 0, -1);
        return true;
    }
    if (const auto name = m_names.find(id); name != m_names.end() && code == EN_KILLFOCUS) {
        name->second = WindowText(item(id));
        showCut(id);
        return true;
    }
    if (code == EN_CHANGE && !m_settingText) {
        if (const auto name = m_names.find(id); name != m_names.end()) {
            name->second = WindowText(item(id));
            if (GetFocus() != item(id)) {
                showCut(id);
            }
        }
        run([id](form::FormPresenter& presenter) { presenter.FieldEdited(id); });
        return true;
    }
    if (code != BN_CLICKED && code != kAcceleratorCode) {
        return false;
    }
    bool handled = false;
    run([id, &handled](form::FormPresenter& presenter) { handled = presenter.Command(id); });
    return handled;
}

void CTarvexDlg::OnOK() {
    run([](form::FormPresenter& presenter) { presenter.Exit(); });
}

void CTarvexDlg::OnCancel() {
    run([](form::FormPresenter& presenter) { presenter.Cancel(); });
}

void CTarvexDlg::run(const std::function<void(form::FormPresenter&)>& command) {
    if (m_presenter != nullptr) {
        m_presenter->Run(command);
    }
}

std::optional<INT_PTR> CTarvexDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) == IDM_ABOUT) {
            CAboutDlg about;
            about.DoModal(hwnd());
            return 0;
        }
        if ((wParam & 0xFFF0) == IDM_BIN_MAP) {
            run([](form::FormPresenter& presenter) { presenter.ShowBinMap(); });
            return 0;
        }
        if ((wParam & 0xFFF0) == IDM_SPICE_SIZES) {
            run([](form::FormPresenter& presenter) { presenter.ToggleSpiceSizes(); });
            return 0;
        }
        if ((wParam & 0xFFF0) == IDM_IMPORT_BINS) {
            run([](form::FormPresenter& presenter) { presenter.ImportBins(); });
            return 0;
        }
        return std::nullopt;
    case WM_INITMENUPOPUP:
        if (HIWORD(lParam) != 0) {
            const bool available =
                m_presenter != nullptr && !m_presenter->Busy() && m_presenter->BinMapAvailable();
            EnableMenuItem(GetSystemMenu(hwnd(), FALSE), IDM_BIN_MAP,
                           MF_BYCOMMAND | (available ? MF_ENABLED : MF_GRAYED));
            const bool spice = m_presenter != nullptr && m_presenter->ReadsSizesAsSpice();
            CheckMenuItem(GetSystemMenu(hwnd(), FALSE), IDM_SPICE_SIZES,
                          MF_BYCOMMAND | (spice ? MF_CHECKED : MF_UNCHECKED));
        }
        return std::nullopt;
    case WM_CONTEXTMENU: {
        POINT point{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        if (point.x == -1 && point.y == -1) { // from the keyboard: at the window's corner
            point = {0, 0};
            ClientToScreen(hwnd(), &point);
        }
        showMenu(point);
        return 0;
    }
    case WM_PAINT:
        paint();
        return 0;
    case WM_QUERYDRAGICON:
        return reinterpret_cast<INT_PTR>(m_icon);
    case WM_HELP:
        run([](form::FormPresenter& presenter) { presenter.Help(); });
        return TRUE;
    case WM_NOTIFY: {
        auto* tip = reinterpret_cast<NMTTDISPINFOW*>(lParam);
        if (tip->hdr.hwndFrom != m_tips || tip->hdr.code != TTN_GETDISPINFOW) {
            return std::nullopt;
        }
        const auto hint = m_hints.find(GetDlgCtrlID(reinterpret_cast<HWND>(tip->hdr.idFrom)));
        tip->szText[0] = L'\0'; // no hint: no tip
        tip->lpszText = hint != m_hints.end() ? hint->second.data() : tip->szText;
        return 0;
    }
    case WM_CTLCOLOREDIT:
        if (m_tinted.contains(GetDlgCtrlID(reinterpret_cast<HWND>(lParam)))) {
            SetBkColor(reinterpret_cast<HDC>(wParam), kUsedCell);
            return reinterpret_cast<INT_PTR>(m_tint);
        }
        return std::nullopt;
    default:
        return std::nullopt;
    }
}

// Minimised, the window shows the application icon centred; otherwise the grids behind the fields.
void CTarvexDlg::paint() {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd(), &ps);
    if (IsIconic(hwnd())) {
        SendMessageW(hwnd(), WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
        RECT client{};
        GetClientRect(hwnd(), &client);
        const int x = (client.right - client.left - GetSystemMetrics(SM_CXICON) + 1) / 2;
        const int y = (client.bottom - client.top - GetSystemMetrics(SM_CYICON) + 1) / 2;
        DrawIcon(dc, x, y, m_icon);
    } else {
        paintGrids(dc);
    }
    EndPaint(hwnd(), &ps);
}

// Each group's picture: grey margins around a 5 x 5 grid of cyan cells ruled in blue, its lines
// through the middle of the bound fields. Scaled with the dialog's units; the fields are left out.
void CTarvexDlg::paintGrids(HDC dc) {
    // Origin and size are converted each on its own, as the dialog manager places controls.
    const auto toPixels = [this](const form::DuRect& du) {
        RECT rect{du.x, du.y, du.width, du.height};
        MapDialogRect(hwnd(), &rect);
        return RECT{rect.left, rect.top, rect.left + rect.right, rect.top + rect.bottom};
    };
    for (const int id : form::kTabOrder) {
        const RECT control = ToClient(hwnd(), item(id));
        ExcludeClipRect(dc, control.left, control.top, control.right, control.bottom);
    }
    const RECT unit = toPixels({0, 0, 1, 1});
    HBRUSH margin = CreateSolidBrush(ToColorRef(form::kGridMargin));
    HBRUSH cell = CreateSolidBrush(ToColorRef(form::kGridCell));
    HPEN rule = CreatePen(PS_SOLID, std::max<int>(1, unit.right), ToColorRef(form::kGridRule));
    HGDIOBJ oldPen = SelectObject(dc, rule);
    for (const form::GroupLayout* group : form::kGroups) {
        std::array<int, kBoundCount> xs{};
        std::array<int, kBoundCount> ys{};
        for (int i = 0; i < kBoundCount; ++i) {
            const RECT width = ToClient(hwnd(), item(group->widthBoundIds[i]));
            const RECT length = ToClient(hwnd(), item(group->lengthBoundIds[i]));
            xs[i] = (width.left + width.right) / 2;
            ys[i] = (length.top + length.bottom) / 2;
        }
        const RECT picture = toPixels(group->picture);
        FillRect(dc, &picture, margin);
        const RECT cells{xs.front(), ys.front(), xs.back() + 1, ys.back() + 1};
        FillRect(dc, &cells, cell);
        for (const int x : xs) {
            MoveToEx(dc, x, ys.front(), nullptr);
            LineTo(dc, x, ys.back());
        }
        for (const int y : ys) {
            MoveToEx(dc, xs.front(), y, nullptr);
            LineTo(dc, xs.back(), y);
        }
    }
    SelectObject(dc, oldPen);
    DeleteObject(rule);
    DeleteObject(cell);
    DeleteObject(margin);
}

std::filesystem::path CTarvexDlg::HelpPage() {
    return ExecutablePath().parent_path() / L"help.html";
}

// The help page opens in the user's viewer for HTML. That viewer is the user's own program, so
// nothing closes it when the form ends.
bool CTarvexDlg::OpenWithShell(const std::filesystem::path& page) {
    const auto result = reinterpret_cast<INT_PTR>(
        ShellExecuteW(nullptr, L"open", page.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    return result > 32;
}

} // namespace tarvex::win32
