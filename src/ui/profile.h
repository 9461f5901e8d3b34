// SPDX-License-Identifier: MIT
// The remembered settings file and size rule in the user's profile, which QSettings keeps under the
// organization and application names (the registry on Windows, a configuration file elsewhere).
#pragma once

#include "form/form_ports.h"

namespace tarvex::ui {

class QtProfile final : public form::Profile {
public:
    std::filesystem::path settingsPath() override;
    void setSettingsPath(const std::filesystem::path& path) override;
    std::filesystem::path stateFolder() override;
    bool readsSizesAsSpice() override;
    void setReadsSizesAsSpice(bool spice) override;
};

} // namespace tarvex::ui
