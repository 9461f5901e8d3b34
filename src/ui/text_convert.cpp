// SPDX-License-Identifier: MIT
// Field text, the same on every platform; paths and messages are in text_convert_<platform>.cpp.
#include "ui/text_convert.h"

#include <QByteArray>

namespace tarvex::ui {

std::string ToFieldBytes(const QString& text, std::size_t maxBytes) {
    QString kept = text;
    QByteArray bytes = kept.toLocal8Bit();
    while (static_cast<std::size_t>(bytes.size()) > maxBytes) {
        kept.chop(kept.size() >= 2 && kept.back().isLowSurrogate() ? 2 : 1);
        bytes = kept.toLocal8Bit();
    }
    return bytes.toStdString();
}

QString FromFieldBytes(std::string_view bytes) {
    return QString::fromLocal8Bit(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

} // namespace tarvex::ui
