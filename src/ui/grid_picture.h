// SPDX-License-Identifier: MIT
// The picture behind each table group: grey margins around a grid of cyan cells ruled in blue.
#pragma once

#include "form/form_layout.h"

#include <QColor>
#include <QList>
#include <QWidget>

namespace tarvex::ui {

inline QColor ToColor(form::Rgb rgb) {
    return {rgb.red, rgb.green, rgb.blue};
}

class GridPicture final : public QWidget {
    Q_OBJECT

public:
    explicit GridPicture(QWidget* parent);

    // The ruled lines, in the picture's own pixels: columns at xs, rows at ys, each ascending.
    // The bound fields sit on these lines and the name fields inside the cells between them.
    void setLines(QList<int> xs, QList<int> ys);
    const QList<int>& columnLines() const { return m_xs; }
    const QList<int>& rowLines() const { return m_ys; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QList<int> m_xs;
    QList<int> m_ys;
};

} // namespace tarvex::ui
