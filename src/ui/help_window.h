// SPDX-License-Identifier: MIT
// The built-in help: a window showing the bundled help page.
#pragma once

#include <QWidget>

namespace tarvex::ui {

class HelpWindow final : public QWidget {
    Q_OBJECT
public:
    // A separate top-level window that belongs to parent: it stays usable while parent runs
    // modally and closes with it.
    explicit HelpWindow(QWidget* parent);
};

} // namespace tarvex::ui
