// SPDX-License-Identifier: MIT
// The Qt window runs on POSIX desktops: paths are the file system's bytes, and so are the core's
// messages that name them; field text is the local 8-bit encoding.
#include "ui/text_convert.h"

#include <QByteArray>
#include <QFile>

namespace tarvex::ui {

std::filesystem::path ToPath(const QString& text) {
    return std::filesystem::path(QFile::encodeName(text).toStdString());
}

QString FromPath(const std::filesystem::path& path) {
    return QFile::decodeName(QByteArray::fromStdString(path.native()));
}

QString FromCoreMessage(std::string_view message) {
    return QString::fromLocal8Bit(message.data(), static_cast<qsizetype>(message.size()));
}

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
