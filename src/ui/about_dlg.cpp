// SPDX-License-Identifier: MIT
#include "ui/about_dlg.h"

#include "ui/app_icon.h"
#include "ui/dialog_units.h"

#include <QLabel>
#include <QPushButton>
#include <QStyle>

namespace tarvex::ui {

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("About Tarvex"));
    const DialogUnits units(font());
    setFixedSize(units.map({0, 0, 235, 45}).size());

    auto* icon = new QLabel(this);
    const int iconSide = style()->pixelMetric(QStyle::PM_LargeIconSize, nullptr, this);
    icon->setPixmap(DrawAppIcon(iconSide));
    icon->setGeometry(QRect(units.map({11, 11, 0, 0}).topLeft(), QSize(iconSide, iconSide)));

    auto* version = new QLabel(QStringLiteral("Tarvex Version 1.0"), this);
    version->setGeometry(units.map({40, 10, 119, 8}));
    auto* notice = new QLabel(tr("Made by Quendale. MIT licence."), this);
    notice->setGeometry(units.map({40, 25, 159, 8}));

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("1"));
    ok->setGeometry(units.map({178, 7, 50, 14}));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}

} // namespace tarvex::ui
