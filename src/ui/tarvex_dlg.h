// SPDX-License-Identifier: MIT
// The main form: both bin tables as grids of fields, their Keys, and the command buttons.
#pragma once

#include "ui/app_state.h"
#include "ui/form_layout.h"

#include <QDialog>

#include <array>
#include <filesystem>

class QLineEdit;

namespace tarvex::ui {

class GridPicture;
class HelpWindow;
class UserDialogs;

class CTarvexDlg final : public QDialog {
    Q_OBJECT
public:
    // Builds the form and runs its start-up: loads the remembered settings file (silently when it
    // cannot be loaded), sets the icon, puts the default Keys in place and the focus on the first
    // width bound.
    CTarvexDlg(AppState& state, UserDialogs& dialogs, SimulatorProbe probe, QWidget* parent = nullptr);
    ~CTarvexDlg() override;

    // Copies the fields into the state's tables; a field whose text is still what the table shows
    // leaves its bytes alone.
    void ReadTablesFromForm();
    // Shows both tables in the fields; a bound of 0 and an empty name show as empty fields.
    void WriteTablesToForm();

    void OnLoad();
    void OnSave();
    void OnProcess();
    void OnClear();

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
    bool nativeEvent(const QByteArray& eventType, void* message, qintptr* result) override;

private:
    struct GroupFields {
        std::array<QLineEdit*, 6> widthBounds{};
        std::array<QLineEdit*, 6> lengthBounds{};
        std::array<std::array<QLineEdit*, 5>, 5> names{}; // [length bin][width bin]
        QLineEdit* key = nullptr;
    };

    GroupFields buildGroup(const GroupLayout& layout);
    void buildButtons();
    void chainTabOrder();
    BinTable& tableOf(int group);

    // Loads a settings file into the form and moves the working directory to its folder. A file
    // that cannot be opened changes nothing; reportFailure says whether the user hears of it.
    void loadSettingsFrom(const std::filesystem::path& path, bool reportFailure);
    void readKeysInto(SettingsFile& settings) const;
    void onExit();
    void showAbout();
    void showHelp();
    void showError(const std::string& message);

    AppState& m_state;
    UserDialogs& m_dialogs;
    SimulatorProbe m_probe;
    std::array<GroupFields, 2> m_groups{};
    std::array<QWidget*, 6> m_buttons{};
    HelpWindow* m_help = nullptr;
    bool m_aboutInSystemMenu = false;
};

} // namespace tarvex::ui
