// SPDX-License-Identifier: MIT
// POSIX: paths are the file system's bytes, and so are the core's messages that name them.
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

} // namespace tarvex::ui
