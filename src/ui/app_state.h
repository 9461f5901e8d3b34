// SPDX-License-Identifier: MIT
// What the window keeps for the whole run besides its fields.
#pragma once

#include "settings/settings_file.h"

#include <filesystem>
#include <functional>
#include <string>

namespace tarvex::ui {

struct AppState {
    // Both tables and Keys as last loaded, cleared or read from the form. Fields are written into
    // it only where they changed, so bytes the form never shows (after a name's NUL, the filler)
    // and bounds the form shows rounded survive an untouched Load and Save.
    SettingsFile settings;
    std::filesystem::path currentSettingsPath; // the settings file last loaded or saved
    std::string defaultNetlistName;            // offered by the Process dialog; from the probe
};

// Looks for the simulator and returns the netlist name it suggests (empty when none is running);
// it may change the working directory to the design's folder.
using SimulatorProbe = std::function<std::string()>;

} // namespace tarvex::ui
