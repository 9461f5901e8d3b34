// SPDX-License-Identifier: MIT
// What the form's presenter asks of a front-end: the window's fields, the modal questions, the
// profile and the simulator probe. Each front-end implements them with its own toolkit.
#pragma once

#include "simlink/simulator_probe.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarvex::form {

// The window's controls, found by their ids (form_layout.h). Field text crosses this interface in
// the bytes the core stores (the local 8-bit encoding); the view converts to and from what it shows.
class FormView {
public:
    virtual ~FormView() = default;
    // The field's text as bytes, cut to at most maxBytes without splitting a character.
    virtual std::string fieldText(int id, std::size_t maxBytes) const = 0;
    // Shows bytes in the field, its beginning in view; a part-name field not being edited shows its
    // end instead, where the names of one library differ.
    virtual void setFieldText(int id, std::string_view bytes) = 0;
    // True when the field shows exactly what setFieldText(id, bytes) would show. Compared as shown
    // text, so bytes that the encoding cannot show faithfully still count as unchanged.
    virtual bool showsText(int id, std::string_view bytes) const = 0;
    // Sets what a bound or part-name field tells: the tooltip (field bytes, lines split by "\n";
    // empty: none) and whether the field is tinted as a cell that the last run used.
    virtual void setFieldHint(int id, std::string_view toolTip, bool tinted) = 0;
    virtual void focusControl(int id) = 0;
    // Focuses a field with its whole text selected, so that typing replaces it.
    virtual void selectField(int id) = 0;
    // The window's title; text as the prompts' messages are.
    virtual void setTitle(std::string_view title) = 0;
    // Ends the modal form: accepted for Exit, not for Escape or the close box.
    virtual void endDialog(bool accepted) = 0;
};

// One entry of a file dialog's type list: its label as shown, and the patterns it matches ("*.*"
// for every file).
struct FileFilter {
    std::string label;
    std::vector<std::string> patterns;
};

// A file dialog.
struct FileRequest {
    bool save = false;                 // a save dialog (asks before overwriting) rather than an open dialog
    bool mustExist = true;             // an open dialog that accepts only existing files
    std::vector<FileFilter> filters;   // the first one is chosen at first
    std::string defaultExtension;      // appended when the chosen name has none, without its dot
    std::filesystem::path initialName; // offered as the file name; empty: none
    // Offers the first filter's patterns as the file name instead, where the toolkit's dialog
    // takes a pattern in its name box and lists the matching files (Windows).
    bool patternAsName = false;
    std::filesystem::path startFolder;
    std::string title; // the dialog's title; empty: the toolkit's own ("Open", "Save As")
};

// A progress display appears once the work has lasted this long, and shows it in this many steps.
inline constexpr int kProgressDelayMs = 500;
inline constexpr int kProgressSteps = 1000;

// A running progress display with a Cancel button; destroying it closes the display.
class Progress {
public:
    virtual ~Progress() = default;
    // Reports done units of the total; false once the user has asked to cancel.
    virtual bool update(std::uint64_t done) = 0;
};

enum class Answer { Yes, No, Cancel };

// Modal questions and messages. Texts are the core's messages: UTF-8 on Windows, the file
// system's bytes elsewhere.
class UserPrompts {
public:
    virtual ~UserPrompts() = default;
    // The chosen file's full path, or nothing when the user cancelled.
    virtual std::optional<std::filesystem::path> askFile(const FileRequest& request) = 0;
    // A message box captioned "Tarvex" with the stop icon and an OK button. Unless details is
    // empty, the box offers it behind a control that shows more (lines split by "\n").
    virtual void showStop(std::string_view message, std::string_view details) = 0;
    // showStop with a "Save Details..." button beside OK, which calls saveDetails while the box
    // stays open.
    virtual void showStopWithSave(std::string_view message, std::string_view details,
                                  const std::function<void()>& saveDetails) = 0;
    // A progress display that appears only if the work lasts a while.
    virtual std::unique_ptr<Progress> startProgress(std::string_view label, std::uint64_t total) = 0;
    // A modal list captioned "Tarvex" with prompt above it: the index of the item chosen with OK,
    // or nothing when the user cancelled.
    virtual std::optional<std::size_t> chooseItem(std::string_view prompt,
                                                  const std::vector<std::string>& items) = 0;
    // A message box captioned "Tarvex" with the information icon and an OK button.
    virtual void showInfo(std::string_view message) = 0;
    // A message box captioned "Tarvex" with the warning icon and an OK button, for a run that
    // completed without doing what was asked (no line held a Key); details as for showStop.
    virtual void showWarning(std::string_view message, std::string_view details) = 0;
    // A question captioned "Tarvex" with the question icon and Yes and No buttons, and Cancel
    // when withCancel; Escape and the close box answer Cancel, or No without a Cancel button.
    virtual Answer ask(std::string_view question, bool withCancel) = 0;
};

// Where the profile keeps the remembered settings file: section and value name.
inline constexpr std::string_view kProfileSection = "Options";
inline constexpr std::string_view kProfileSettingsValue = "MODxy File";
// Beside it, whether Process reads sizes as SPICE does (a DWORD on Windows, a boolean elsewhere).
inline constexpr std::string_view kProfileSpiceSizesValue = "Read Sizes as SPICE Does";

// The user's profile (the registry on Windows, a configuration file elsewhere).
class Profile {
public:
    virtual ~Profile() = default;
    // The path written by the last Exit, or empty.
    virtual std::filesystem::path settingsPath() = 0;
    virtual void setSettingsPath(const std::filesystem::path& path) = 0;
    // The folder where Tarvex keeps the record of the files it wrote and its run locks, shared with
    // tarvex-cli (UserStateFolder()); empty: none, so every file counts as the user's.
    virtual std::filesystem::path stateFolder() = 0;
    // The remembered "Read Sizes as SPICE Does" choice; false when none was stored.
    virtual bool readsSizesAsSpice() = 0;
    virtual void setReadsSizesAsSpice(bool spice) = 0;
};

// Shows a file the program has written in the system's viewer for its type (the bin map), and the
// program's help page.
class FileViewer {
public:
    virtual ~FileViewer() = default;
    // The folder for files written for the user alone to view: the user's runtime folder where
    // there is one (XDG_RUNTIME_DIR), else the user's temporary folder.
    virtual std::filesystem::path privateFolder() = 0;
    // Opens file in the system's viewer; false when none could be started.
    virtual bool open(const std::filesystem::path& file) = 0;
    // The help page, and showing it; false when it could not be shown.
    virtual std::filesystem::path helpPage() = 0;
    virtual bool showHelp(const std::filesystem::path& page) = 0;
};

// Reads the simulator's message viewer: the netlist name it suggests and the folder its title
// names. Empty name and no folder when no simulator is running. It changes nothing.
using SimulatorProbe = std::function<TitleHint()>;

} // namespace tarvex::form
