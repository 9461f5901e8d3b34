// SPDX-License-Identifier: MIT
#include "ui/text_convert.h"

#include <QByteArray>
#include <QFile>

namespace tarvex::ui {

std::filesystem::path ToPath(const QString& text) {
#ifdef _WIN32
    return std::filesystem::path(text.toStdWString());
#else
    return std::filesystem::path(QFile::encodeName(text).toStdString());
#endif
}

QString FromPath(const std::filesystem::path& path) {
#ifdef _WIN32
    return QString::fromStdWString(path.native());
#else
    return QFile::decodeName(QByteArray::fromStdString(path.native()));
#endif
}

QString FromCoreMessage(std::string_view message) {
    const auto size = static_cast<qsizetype>(message.size());
#ifdef _WIN32
    return QString::fromUtf8(message.data(), size);
#else
    return QString::fromLocal8Bit(message.data(), size);
#endif
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
