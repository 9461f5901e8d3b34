// SPDX-License-Identifier: MIT
#include "ui/profile.h"

#include "files/run_lock.h"
#include "ui/text_convert.h"

#include <QSettings>
#include <QString>

namespace tarvex::ui {
namespace {

QString Key(std::string_view value = form::kProfileSettingsValue) {
    return QString::fromLatin1(form::kProfileSection.data(),
                               static_cast<qsizetype>(form::kProfileSection.size())) +
           QLatin1Char('/') + QString::fromLatin1(value.data(), static_cast<qsizetype>(value.size()));
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

bool QtProfile::readsSizesAsSpice() {
    return QSettings().value(Key(form::kProfileSpiceSizesValue), false).toBool();
}

void QtProfile::setReadsSizesAsSpice(bool spice) {
    QSettings settings;
    settings.setValue(Key(form::kProfileSpiceSizesValue), spice);
    settings.sync();
}

} // namespace tarvex::ui
