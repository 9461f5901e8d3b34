// SPDX-License-Identifier: MIT
#include "ui/tarvex_app.h"

#include "ui/app_icon.h"
#include "ui/platform.h"
#include "ui/tarvex_dlg.h"

#include <QApplication>
#include <QFileInfo>
#include <QMessageBox>

#include <utility>

namespace tarvex::ui {

CTarvexApp::CTarvexApp(SimulatorProbe probe) : m_probe(std::move(probe)) {}

bool CTarvexApp::InitInstance() {
    // The profile lives under the executable's name without its extension.
    QCoreApplication::setApplicationName(
        QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName());
    QApplication::setWindowIcon(AppIcon());
    if (!InitSocketLayer()) {
        QMessageBox::warning(nullptr, QCoreApplication::applicationName(),
                             QStringLiteral("Windows sockets initialization failed."));
        return false;
    }
    m_state.defaultNetlistName = m_probe();
    QCoreApplication::setOrganizationName(QStringLiteral("Quendale"));

    CTarvexDlg form(m_state, m_dialogs, m_probe);
    form.exec();
    return true;
}

} // namespace tarvex::ui
