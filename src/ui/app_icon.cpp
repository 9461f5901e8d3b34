// SPDX-License-Identifier: MIT
#include "ui/app_icon.h"

#include <QBuffer>
#include <QDataStream>
#include <QImage>
#include <QList>
#include <QPainter>
#include <QPen>

#include <array>

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

namespace {

// One icon image as a bitmap: its header (twice the height, for the colours and the mask), the
// BGRA rows bottom-up, then the mask rows, whose set bits mark fully transparent pixels.
QByteArray IconBitmap(const QImage& image) {
    const int side = image.width();
    const int maskRowBytes = (side + 31) / 32 * 4;
    QByteArray bitmap;
    QDataStream out(&bitmap, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    out << quint32(40) << qint32(side) << qint32(2 * side) << quint16(1) << quint16(32) << quint32(0)
        << quint32(side * side * 4 + maskRowBytes * side) << qint32(0) << qint32(0) << quint32(0)
        << quint32(0);
    for (int y = side - 1; y >= 0; --y) {
        for (int x = 0; x < side; ++x) {
            const QRgb pixel = image.pixel(x, y);
            out << quint8(qBlue(pixel)) << quint8(qGreen(pixel)) << quint8(qRed(pixel))
                << quint8(qAlpha(pixel));
        }
    }
    for (int y = side - 1; y >= 0; --y) {
        QByteArray row(maskRowBytes, '\0');
        for (int x = 0; x < side; ++x) {
            if (qAlpha(image.pixel(x, y)) == 0) {
                row[x / 8] = static_cast<char>(row[x / 8] | (0x80 >> (x % 8)));
            }
        }
        out.writeRawData(row.constData(), static_cast<int>(row.size()));
    }
    return bitmap;
}

} // namespace

QByteArray IcoFile() {
    constexpr std::array<int, 6> kSides{16, 24, 32, 48, 64, 256};
    QList<QByteArray> images;
    for (const int side : kSides) {
        const QImage image = DrawAppIcon(side).toImage().convertToFormat(QImage::Format_ARGB32);
        if (side < 256) {
            images << IconBitmap(image);
        } else {
            QBuffer png;
            png.open(QIODevice::WriteOnly);
            image.save(&png, "PNG");
            images << png.data();
        }
    }
    QByteArray ico;
    QDataStream out(&ico, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    out << quint16(0) << quint16(1) << quint16(kSides.size()); // reserved, type 1 (icon), image count
    quint32 offset = 6 + 16 * kSides.size();
    for (std::size_t i = 0; i < kSides.size(); ++i) {
        const auto side = static_cast<quint8>(kSides[i] % 256); // 0 means 256
        out << side << side << quint8(0) << quint8(0) << quint16(1) << quint16(32)
            << quint32(images[static_cast<qsizetype>(i)].size()) << offset;
        offset += static_cast<quint32>(images[static_cast<qsizetype>(i)].size());
    }
    for (const QByteArray& image : images) {
        out.writeRawData(image.constData(), static_cast<int>(image.size()));
    }
    return ico;
}

QIcon AppIcon() {
    QIcon icon;
    for (const int side : {16, 24, 32, 48, 64, 128, 256}) {
        icon.addPixmap(DrawAppIcon(side));
    }
    return icon;
}

} // namespace tarvex::ui
