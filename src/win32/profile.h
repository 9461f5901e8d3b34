// SPDX-License-Identifier: MIT
// The profile in the current user's registry: value "MODxy File", a string, and "Read Sizes as SPICE
// Does", a DWORD (1: the SPICE rule), under the key
// HKEY_CURRENT_USER\Software\Quendale\<application>\Options.
#pragma once

#include "form/form_ports.h"

#include <string>

namespace tarvex::win32 {

class RegistryProfile final : public form::Profile {
public:
    explicit RegistryProfile(const std::wstring& application = ApplicationName());

    // The executable's file name without its extension.
    static std::wstring ApplicationName();
    // The key under HKEY_CURRENT_USER that holds the value.
    const std::wstring& key() const { return m_key; }

    std::filesystem::path settingsPath() override;
    void setSettingsPath(const std::filesystem::path& path) override;
    std::filesystem::path stateFolder() override;
    bool readsSizesAsSpice() override;
    void setReadsSizesAsSpice(bool spice) override;

private:
    std::wstring m_key;
};

} // namespace tarvex::win32
