// SPDX-License-Identifier: MIT
#include "ui/profile.h"

#include <QSettings>

namespace tarvex::ui {
namespace {

QString Key() {
    return QStringLiteral("Options/MODxy File");
}

} // namespace

QString RememberedSettingsPath() {
    return QSettings().value(Key(), QString()).toString();
}

void RememberSettingsPath(const QString& path) {
    QSettings settings;
    settings.setValue(Key(), path);
    settings.sync();
}

} // namespace tarvex::ui
