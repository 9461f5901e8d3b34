// SPDX-License-Identifier: MIT
// The About box: icon, version line, maker's notice and OK.
#pragma once

#include <QDialog>

namespace tarvex::ui {

// The text of the menu entry that opens the About box.
QString AboutEntryText();

class CAboutDlg final : public QDialog {
    Q_OBJECT
public:
    explicit CAboutDlg(QWidget* parent);
};

} // namespace tarvex::ui
