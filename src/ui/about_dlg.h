// SPDX-License-Identifier: MIT
// The About box: icon, version line, maker's notice and OK.
#pragma once

#include <QDialog>

namespace tarvex::ui {

class CAboutDlg final : public QDialog {
    Q_OBJECT
public:
    explicit CAboutDlg(QWidget* parent);
};

} // namespace tarvex::ui
