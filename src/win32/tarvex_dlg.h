// SPDX-License-Identifier: MIT
// The main form as a Win32 dialog built from the layout table: both bin tables as grids of edit
// fields over a drawn grid, their Keys and the command buttons. It shows what the presenter decides
// and forwards the user's commands; the shell's chores (About entry, icon, help) are its own.
#pragma once

#include "form/form_ports.h"
#include "win32/dialog.h"

#include <windows.h>

#include <cstddef>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>

namespace tarvex::form {
class FormPresenter;
}

namespace tarvex::win32 {

class CTarvexDlg final : public Dialog, public form::FormView, public form::FileViewer {
public:
    // Opens the help page; false when it could not be opened.
    using HelpOpener = std::function<bool(const std::filesystem::path& page)>;

    // Loads the application icon. openHelp shows the help page and the bin map (the shell's viewer
    // by default).
    explicit CTarvexDlg(HelpOpener openHelp = OpenWithShell);
    ~CTarvexDlg() override;

    // The form's commands, Enter (Exit), Escape and the close box (Cancel) go to presenter, which
    // starts up when the window is made, opening settingsFile when one is given.
    void bind(form::FormPresenter& presenter,
              std::optional<std::filesystem::path> settingsFile = std::nullopt);

    std::string fieldText(int id, std::size_t maxBytes) const override;
    void setFieldText(int id, std::string_view bytes) override;
    bool showsText(int id, std::string_view bytes) const override;
    void setFieldHint(int id, std::string_view toolTip, bool tinted) override;
    void focusControl(int id) override;
    void selectField(int id) override;
    void setTitle(std::string_view title) override;
    void endDialog(bool accepted) override;

    std::filesystem::path privateFolder() override;
    bool open(const std::filesystem::path& file) override;
    std::filesystem::path helpPage() override;
    bool showHelp(const std::filesystem::path& page) override;

    // The accelerator table of the form's shortcuts, for the message loop that runs the form.
    static HACCEL MakeAccelerators();
    // The right-click menu's command ids: kFirstMenuId + the entry's index in the form's list.
    static constexpr UINT kFirstMenuId = 0x7000;
    // The right-click menu: the form's entries, each enabled as the presenter says.
    HMENU makeMenu() const;
    // Shows the right-click menu at point, in screen coordinates, and runs the entry chosen.
    void showMenu(POINT point);
    // Runs the entry whose command id is id; any other id does nothing.
    void runMenuEntry(UINT id);

    // help.html beside the executable.
    static std::filesystem::path HelpPage();
    static bool OpenWithShell(const std::filesystem::path& page);

protected:
    bool OnInit() override;
    bool OnCommand(int id, int code) override;
    void OnOK() override;
    void OnCancel() override;
    std::optional<INT_PTR> OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void addAboutToSystemMenu();
    void addFieldTips();
    std::wstring textOf(int id) const;
    // Shows text in a field without telling the presenter of an edit.
    void showText(int id, const std::wstring& text);
    void showCut(int id);
    void paint();
    void paintGrids(HDC dc);
    // Runs command in the presenter, once one is bound.
    void run(const std::function<void(form::FormPresenter&)>& command);

    form::FormPresenter* m_presenter = nullptr;
    std::optional<std::filesystem::path> m_settingsFile;
    HelpOpener m_openHelp;
    HICON m_icon = nullptr;
    HICON m_smallIcon = nullptr;
    HWND m_tips = nullptr;
    std::map<int, std::wstring> m_hints; // the fields' tooltips, set by the presenter
    std::set<int> m_tinted;              // name fields whose cell the last run used
    std::map<int, std::wstring> m_names; // the part-name fields' whole names
    std::set<int> m_fieldIds;            // every edit field
    HBRUSH m_tint = nullptr;
    bool m_settingText = false; // the presenter, not the user, is changing a field
};

} // namespace tarvex::win32
