// SPDX-License-Identifier: MIT
#include "ui/dialog_units.h"

#include <QFontMetrics>
#include <QString>

namespace tarvex::ui {
namespace {

// Rounds du * base / divisor to the nearest integer, for non-negative operands.
int Scale(int du, int base, int divisor) {
    return (du * base + divisor / 2) / divisor;
}

} // namespace

DialogUnits::DialogUnits(const QFont& font) {
    const QFontMetrics metrics(font);
    // The average width of the 52 Latin letters, rounded to a whole pixel.
    const int letters =
        metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    m_baseX = (letters / 26 + 1) / 2;
    m_baseY = metrics.height();
}

int DialogUnits::x(int du) const {
    return Scale(du, m_baseX, 4);
}

int DialogUnits::y(int du) const {
    return Scale(du, m_baseY, 8);
}

QRect DialogUnits::map(const form::DuRect& rect) const {
    const int left = x(rect.x);
    const int top = y(rect.y);
    return {left, top, x(rect.x + rect.width) - left, y(rect.y + rect.height) - top};
}

} // namespace tarvex::ui
