// SPDX-License-Identifier: MIT
// The application object: starts the program and runs the main form modally.
#pragma once

#include "form/form_ports.h"

#include <filesystem>
#include <optional>

namespace tarvex::win32 {

class CTarvexApp {
public:
    // probe is the simulator probe run at start-up and by every Process.
    explicit CTarvexApp(form::SimulatorProbe probe);

    // Starts Windows Sockets (a failure is reported and ends the program) and the common controls,
    // builds the form with its presenter over the registry profile and runs it until it closes;
    // settingsFile, when given, is opened instead of the remembered one. False when the program
    // could not start.
    bool InitInstance(const std::optional<std::filesystem::path>& settingsFile = std::nullopt);

private:
    form::SimulatorProbe m_probe;
};

} // namespace tarvex::win32
