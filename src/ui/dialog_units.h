// SPDX-License-Identifier: MIT
// Dialog units: positions that scale with the dialog's font, as dialog templates are written.
#pragma once

#include "form/form_layout.h"

#include <QFont>
#include <QRect>

namespace tarvex::ui {

// Maps dialog units to pixels for one font: a horizontal unit is a quarter of the font's average
// character width, a vertical unit an eighth of its height. Each edge is mapped and rounded on its
// own, so controls that touch in dialog units still touch in pixels.
class DialogUnits {
public:
    explicit DialogUnits(const QFont& font);

    int x(int du) const;
    int y(int du) const;
    QRect map(const form::DuRect& rect) const;

private:
    int m_baseX;
    int m_baseY;
};

} // namespace tarvex::ui
