// SPDX-License-Identifier: MIT
// What the form keeps for the whole run besides its fields.
#pragma once

#include "insight/bin_map.h"
#include "insight/bin_usage.h"
#include "settings/settings_file.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace tarvex::form {

// At most this many kept devices are listed in the details of a run's message; the rest are counted.
inline constexpr std::size_t kMaxListedDevices = 50;

// What the last Process that read a netlist to its end saw. Load, Clear and the next Process that
// reads a netlist start it afresh; a run cancelled or stopped by an error leaves it empty.
struct LastRun {
    bool completed = false;
    BinUsage usage;
    std::vector<std::string> keptDevices; // the first kMaxListedDevices, as DescribeKeptDevice says them
    std::uint64_t keptCount = 0;          // all of them
    std::uint64_t deviceCount = 0;        // every device the run met, kept or binned
    std::string keptReport;               // every kept device, as rows of the CSV report
    BinMap map;                           // every device, for the bin map
};

// What the form showed when its settings file was last loaded or saved (or at start): the tables
// as stored and the Keys as the fields showed them.
struct SavedForm {
    BinTable tableN;
    BinTable tableP;
    std::string keyN;
    std::string keyP;
};

struct FormModel {
    // Both tables and Keys as last loaded, cleared or read from the form. Fields are written into
    // it only where they changed, so bytes the form never shows (after a name's NUL, the filler)
    // and bounds the form shows rounded survive an untouched Load and Save.
    SettingsFile settings;
    std::filesystem::path currentSettingsPath; // the settings file last loaded or saved
    SavedForm saved;                           // what the form showed then
    // Where the file dialogs start and relative paths lead: the process's current directory at
    // start, then the simulator design's folder or the folder of the settings file last loaded.
    std::filesystem::path workingFolder;
    std::string defaultNetlistName; // offered by the Process dialog; from the probe
    LastRun lastRun;
    // The bin map this window wrote last; it is removed when the next one is written.
    std::filesystem::path binMapFile;
};

} // namespace tarvex::form
