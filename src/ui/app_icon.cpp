// SPDX-License-Identifier: MIT
#include "ui/app_icon.h"

#include <QPainter>
#include <QPen>

namespace tarvex::ui {

QPixmap DrawAppIcon(int side) {
    QPixmap pixmap(side, side);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(side / 64.0, side / 64.0);

    // Grey tile with a dark outline, like the margins of the form's grids.
    painter.setPen(QPen(QColor(60, 60, 80), 2));
    painter.setBrush(QColor(205, 205, 210));
    painter.drawRoundedRect(QRectF(2, 2, 60, 60), 10, 10);

    // A 3 x 3 grid of cyan cells ruled in blue; the middle right cell is the bin a device fell into.
    const QRectF grid(14, 14, 42, 42);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(140, 230, 240));
    painter.drawRect(grid);
    painter.setBrush(QColor(250, 160, 30));
    painter.drawRect(QRectF(42, 28, 14, 14));
    painter.setPen(QPen(QColor(0, 0, 190), 2.5));
    painter.setBrush(Qt::NoBrush);
    for (int i = 0; i <= 3; ++i) {
        const double at = 14 + 14 * i;
        painter.drawLine(QPointF(at, 14), QPointF(at, 56));
        painter.drawLine(QPointF(14, at), QPointF(56, at));
    }

    // Bound marks along the top and left edges, where the form's bound fields sit.
    painter.setPen(QPen(QColor(0, 0, 190), 3, Qt::SolidLine, Qt::RoundCap));
    for (int i = 0; i <= 3; ++i) {
        const double at = 14 + 14 * i;
        painter.drawLine(QPointF(at, 7), QPointF(at, 11));
        painter.drawLine(QPointF(7, at), QPointF(11, at));
    }
    return pixmap;
}

QIcon AppIcon() {
    QIcon icon;
    for (const int side : {16, 24, 32, 48, 64, 128, 256}) {
        icon.addPixmap(DrawAppIcon(side));
    }
    return icon;
}

} // namespace tarvex::ui
