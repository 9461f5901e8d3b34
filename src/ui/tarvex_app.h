// SPDX-License-Identifier: MIT
// The application object: starts the program and runs the main form modally.
#pragma once

#include "form/form_ports.h"

#include <filesystem>
#include <optional>

namespace tarvex::ui {

class CTarvexApp {
public:
    // probe is the simulator probe run at start-up and by every Process.
    explicit CTarvexApp(form::SimulatorProbe probe);

    // Names the profile ("Quendale" / the executable's name), builds the form and its presenter, starts it up
    // and runs it until it closes; settingsFile, when given, is opened instead of the remembered one.
    bool InitInstance(const std::optional<std::filesystem::path>& settingsFile = std::nullopt);

private:
    form::SimulatorProbe m_probe;
};

} // namespace tarvex::ui
