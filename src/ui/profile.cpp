// SPDX-License-Identifier: MIT
#include "ui/profile.h"

#include "files/run_lock.h"
#include "ui/text_convert.h"

#include <QSettings>
#include <QString>

namespace tarvex::ui {
namespace {

QString Key() {
    return QString::fromLatin1(form::kProfileSection.data(),
                               static_cast<qsizetype>(form::kProfileSection.size())) +
           QLatin1Char('/') +
           QString::fromLatin1(form::kProfileSettingsValue.data(),
                               static_cast<qsizetype>(form::kProfileSettingsValue.size()));
}

} // namespace

std::filesystem::path QtProfile::settingsPath() {
    return ToPath(QSettings().value(Key(), QString()).toString());
}

void QtProfile::setSettingsPath(const std::filesystem::path& path) {
    QSettings settings;
    settings.setValue(Key(), FromPath(path));
    settings.sync();
}

std::filesystem::path QtProfile::stateFolder() {
    return UserStateFolder();
}

} // namespace tarvex::ui
