// SPDX-License-Identifier: MIT
#include "ui/help_window.h"

#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

namespace tarvex::ui {

HelpWindow::HelpWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
    setWindowTitle(tr("Tarvex Help"));
    auto* browser = new QTextBrowser(this);
    browser->setObjectName(QStringLiteral("helpBrowser"));
    browser->setOpenExternalLinks(true);
    browser->setSource(QUrl(QStringLiteral("qrc:/tarvex/help.html")));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(browser);
    resize(640, 600);
}

} // namespace tarvex::ui
