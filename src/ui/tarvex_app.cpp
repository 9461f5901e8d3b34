// SPDX-License-Identifier: MIT
#include "ui/tarvex_app.h"

#include "form/form_presenter.h"
#include "ui/app_icon.h"
#include "ui/profile.h"
#include "ui/tarvex_dlg.h"
#include "ui/user_dialogs.h"

#include <QApplication>
#include <QFileInfo>

#include <utility>

namespace tarvex::ui {

CTarvexApp::CTarvexApp(form::SimulatorProbe probe) : m_probe(std::move(probe)) {}

bool CTarvexApp::InitInstance(const std::optional<std::filesystem::path>& settingsFile) {
    // The profile lives under the executable's name without its extension.
    QCoreApplication::setApplicationName(
        QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName());
    QApplication::setWindowIcon(AppIcon());
    QCoreApplication::setOrganizationName(QStringLiteral("Quendale"));

    CTarvexDlg window;
    QtUserDialogs dialogs(&window);
    QtProfile profile;
    form::FormPresenter presenter(window, dialogs, profile, m_probe);
    window.bind(presenter, settingsFile);
    window.exec();
    return true;
}

} // namespace tarvex::ui
