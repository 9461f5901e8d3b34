// SPDX-License-Identifier: MIT
// The window's menu of further commands and its keyboard shortcuts, one list each, from which both
// windows build theirs: an entry added here appears in the Qt window's context menu and in the
// Win32 window's right-click menu alike.
#pragma once

#include "form/form_layout.h"

#include <array>
#include <string_view>

namespace tarvex::form {

// What a menu entry runs: the presenter's commands, and About, which the window shows itself.
enum class MenuCommand { ImportBins, SpiceSizes, BinMap, About };

struct MenuEntry {
    MenuCommand command;
    std::string_view text; // '&' marks the access key
    bool separatorBefore;
    bool checkable = false; // a choice shown with a check mark
};

// The window's menu entry that shows the bin map of the last run.
inline constexpr std::string_view kBinMapEntry = "Bin Map of Last Run...";
inline constexpr std::string_view kImportEntry = "Import Bins from Model Library...";
inline constexpr std::string_view kAboutEntry = "&About Tarvex...";
// The entry that chooses how Process reads sizes: checked, as SPICE does; unchecked, the classic rule.
inline constexpr std::string_view kSpiceSizesEntry = "Read Sizes as SPICE Does";

inline constexpr std::array<MenuEntry, 4> kMenuEntries{{
    {MenuCommand::ImportBins, kImportEntry, false},
    {MenuCommand::SpiceSizes, kSpiceSizesEntry, false, true},
    {MenuCommand::BinMap, kBinMapEntry, false},
    {MenuCommand::About, kAboutEntry, true},
}};

// A key that runs a button's command: "Ctrl+" and a capital letter, or a function key "F1".
struct Shortcut {
    std::string_view keys;
    int commandId;
};

inline constexpr std::array<Shortcut, 4> kShortcuts{{
    {"Ctrl+O", kLoadId},
    {"Ctrl+S", kSaveId},
    {"Ctrl+P", kProcessId},
    {"F1", kHelpId},
}};

} // namespace tarvex::form
