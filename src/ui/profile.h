// SPDX-License-Identifier: MIT
// The remembered settings file: "Options" / "MODxy File" in the user's profile, which QSettings
// keeps under the organization and application names (the registry on Windows, a configuration
// file elsewhere).
#pragma once

#include <QString>

namespace tarvex::ui {

// The path written by the last Exit, or empty.
QString RememberedSettingsPath();

void RememberSettingsPath(const QString& path);

} // namespace tarvex::ui
