// SPDX-License-Identifier: MIT
// Windows: paths are UTF-16, and the core writes the paths in its messages as UTF-8.
#include "ui/text_convert.h"

namespace tarvex::ui {

std::filesystem::path ToPath(const QString& text) {
    return std::filesystem::path(text.toStdWString());
}

QString FromPath(const std::filesystem::path& path) {
    return QString::fromStdWString(path.native());
}

QString FromCoreMessage(std::string_view message) {
    return QString::fromUtf8(message.data(), static_cast<qsizetype>(message.size()));
}

} // namespace tarvex::ui
