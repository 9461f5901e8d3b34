// SPDX-License-Identifier: MIT
// The main form: both bin tables as grids of fields, their Keys, and the command buttons, built
// from the layout table. It shows what the presenter decides and forwards the user's commands.
#pragma once

#include "form/form_ports.h"

#include <QDialog>
#include <QHash>

#include <cstddef>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

class QLineEdit;

namespace tarvex::form {
class FormPresenter;
struct Control;
} // namespace tarvex::form

namespace tarvex::ui {

class HelpWindow;

class CTarvexDlg final : public QDialog, public form::FormView, public form::FileViewer {
    Q_OBJECT
public:
    // Builds every control with its id as objectName, the tab order, the icon and the About entry.
    explicit CTarvexDlg(QWidget* parent = nullptr);
    ~CTarvexDlg() override;

    // Sends the buttons, Enter (Exit), Escape and the close box (Cancel) to presenter, and shows its
    // bin maps with the desktop's viewer. The controls exist, so presenter starts up here, opening
    // settingsFile when one is given.
    void bind(form::FormPresenter& presenter,
              const std::optional<std::filesystem::path>& settingsFile = std::nullopt);

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

    void reject() override;

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    QWidget* makeControl(const form::Control& control);
    QLineEdit* field(int id) const;
    // Runs command in the presenter, once one is bound.
    void forward(const std::function<void(form::FormPresenter&)>& command);
    void showAbout();

    form::FormPresenter* m_presenter = nullptr;
    QHash<int, QWidget*> m_controls;
    HelpWindow* m_help = nullptr;
};

} // namespace tarvex::ui
