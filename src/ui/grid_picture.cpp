// SPDX-License-Identifier: MIT
#include "ui/grid_picture.h"

#include <QPainter>
#include <QPen>

#include <utility>

namespace tarvex::ui {
GridPicture::GridPicture(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void GridPicture::setLines(QList<int> xs, QList<int> ys) {
    m_xs = std::move(xs);
    m_ys = std::move(ys);
    update();
}

void GridPicture::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    painter.fillRect(rect(), ToColor(form::kGridMargin));
    if (m_xs.size() < 2 || m_ys.size() < 2) {
        return;
    }
    const int left = m_xs.constFirst();
    const int right = m_xs.constLast();
    const int top = m_ys.constFirst();
    const int bottom = m_ys.constLast();
    painter.fillRect(QRect(QPoint(left, top), QPoint(right, bottom)), ToColor(form::kGridCell));
    painter.setPen(QPen(ToColor(form::kGridRule), 2));
    for (const int x : m_xs) {
        painter.drawLine(x, top, x, bottom);
    }
    for (const int y : m_ys) {
        painter.drawLine(left, y, right, y);
    }
}

} // namespace tarvex::ui
