// SPDX-License-Identifier: MIT
// What the form keeps for the whole run besides its fields.
#pragma once

#include "settings/settings_file.h"

#include <filesystem>
#include <string>

namespace tarvex::form {

struct FormModel {
    // Both tables and Keys as last loaded, cleared or read from the form. Fields are written into
    // it only where they changed, so bytes the form never shows (after a name's NUL, the filler)
    // and bounds the form shows rounded survive an untouched Load and Save.
    SettingsFile settings;
    std::filesystem::path currentSettingsPath; // the settings file last loaded or saved
    // Where the file dialogs start and relative paths lead: the process's current directory at
    // start, then the simulator design's folder or the folder of the settings file last loaded.
    std::filesystem::path workingFolder;
    std::string defaultNetlistName; // offered by the Process dialog; from the probe
};

} // namespace tarvex::form
