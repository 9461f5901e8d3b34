// SPDX-License-Identifier: MIT
// Every decision of the main form, apart from any toolkit: start-up, the commands of its buttons,
// and which fields go into the tables. A front-end forwards its events here and implements the
// ports (form_ports.h).
#pragma once

#include "form/form_commands.h"
#include "form/form_model.h"
#include "form/form_ports.h"

#include "process/process.h"

#include <filesystem>
#include <functional>
#include <optional>
#include <string_view>

namespace tarvex::form {

struct GroupLayout;

// The map's file name in the viewer's private folder: this, 16 hex digits, ".svg".
inline constexpr std::string_view kBinMapPrefix = "tarvex-bin-map-";

class FormPresenter {
public:
    FormPresenter(FormView& view, UserPrompts& prompts, Profile& profile, SimulatorProbe probe);

    // The start-up of the application once its window is built: the working folder is the current
    // directory; probe the simulator; load the remembered settings file (silently when it cannot
    // be); show the default Keys, whatever the file held; focus the first control. A settingsFile
    // given (the command line's) is loaded instead of the remembered one, as Load would, its Keys
    // shown; one that cannot be read is reported and never created.
    void StartUp(const std::optional<std::filesystem::path>& settingsFile = std::nullopt);

    // Runs the command of a button (Load, Save, Process, Clear, Exit, Help). False for any other id.
    bool Command(int id);

    // Runs what a view forwards (a command, an edit, start-up) unless one is running: a progress
    // display lets the window's events in while its command runs. An exception ends the command
    // with a stop message, so that it never crosses the toolkit's event handling.
    void Run(const std::function<void(FormPresenter&)>& command);
    // True while a command forwarded through Run is running.
    bool Busy() const { return m_busy; }

    // Asks for a settings file and loads it; a new name creates an empty one. Unsaved changes are
    // asked about first.
    void Load();
    // Asks for a file name, then stores the tables and Keys of the form there; true when saved.
    bool Save();
    // Probes the simulator, checks the Keys and bounds, asks for a netlist and rewrites it,
    // showing the first problem (with every kept device in its details) or the error of the run.
    // A run read to its end leaves its devices per cell in the name fields' hints.
    void Process();
    // Empties every bound and name; the Keys and the files stay.
    void Clear();
    // Asks for a model library and builds tables from its binned cards (the user picks a group
    // where a type has several; every reason against a table is shown at once, and then nothing
    // changes). Then asks where to save them as a new settings file, beside the library by
    // default, with the Keys of the form and, for a type the library has no group of, the table
    // its fields show; writes it, never over a file the library was read from; and loads it as
    // Load does, so the imported tables always exist in a file. Cancelling either dialog, a
    // refusal and a failed write leave the form and every file as they were.
    void ImportBins();
    // Remembers the current settings file in the profile and ends the form accepted. Unsaved
    // changes are asked about first; Cancel, or a save that fails, keeps the form open.
    void Exit();
    // Ends the form without touching the profile (Escape, the close box), asking about unsaved
    // changes as Exit does.
    void Cancel();
    // True when the tables or Keys the form shows differ from those last loaded or saved (the
    // defaults at start when no file was loaded). Bounds compare as numbers, so "1u" typed over
    // "1e-06" is no change.
    bool HasUnsavedChanges();
    // Shows the help page in the viewer; a page that cannot be opened is reported.
    void Help();
    // The viewer that shows the bin map; without one the map is never offered.
    void setFileViewer(FileViewer& viewer) { m_viewer = &viewer; }
    // True when there is a bin map to show: a Process read a netlist to its end, and no Load or
    // Clear came since.
    bool BinMapAvailable() const { return m_viewer != nullptr && m_model.lastRun.completed; }
    // Writes the map of the last run's devices over that run's tables to a new file in the
    // viewer's private folder, readable by the user alone, and opens it in the system's viewer.
    // The map this window wrote before is removed. A failure to write is reported; when no viewer
    // opens the map, the user is told where it is.
    void ShowBinMap();

    // Whether a menu entry can be chosen now: not while a command runs, and the bin map only when
    // there is one.
    bool MenuEntryEnabled(MenuCommand command) const;
    // Runs a menu entry's command; false for About, which the window shows itself.
    bool RunMenuCommand(MenuCommand command);

    // Whether Process reads sizes as SPICE does, the menu entry's check mark; read from the profile
    // at start-up.
    bool ReadsSizesAsSpice() const { return m_spiceSizes; }
    // Whether a menu entry shows a check mark: the size rule's entry while it is chosen.
    bool MenuEntryChecked(MenuCommand command) const {
        return command == MenuCommand::SpiceSizes && m_spiceSizes;
    }
    // The menu entry was chosen: the choice flips and is remembered in the profile at once.
    void ToggleSpiceSizes();

    // The user changed a field's text: a bound or part-name field's hint follows the text typed.
    void FieldEdited(int id);

    // Copies the fields into the tables; a field whose text is still what the table shows leaves
    // its bytes alone.
    void ReadTablesFromForm();
    // Shows both tables in the fields, and their names and the last run in the name fields' hints;
    // a bound of 0 and an empty name show as empty fields.
    void WriteTablesToForm();

    const FormModel& model() const { return m_model; }

private:
    void probeSimulator();
    void loadSettingsFrom(const std::filesystem::path& path, bool reportFailure);
    // Shows what was loaded from full (or reports why not); true when the form now shows it.
    bool showSettings(const std::filesystem::path& full, const Result<LoadedSettings>& loaded,
                      bool reportFailure);
    void readKeysFromForm();
    bool saveTo(const std::filesystem::path& path);
    // Asks where to save the last run's kept devices as the CSV report, and writes them there.
    void saveKeptDevices(const ProcessPlan& plan);
    // Process's steps: the Keys and tables of the form, checked (a bad bound is shown with its field
    // selected); the netlist the user chooses; the run's messages.
    std::optional<RewriteRules> rulesFromForm();
    std::optional<std::filesystem::path> askNetlistToProcess();
    void showProcessOutcome(const ProcessOutcome& outcome, const std::string& details);
    // Takes what the form shows as saved, and titles the window with the settings file's name.
    void markSaved();
    // Asks whether to save unsaved changes: true when the form may drop them (saved, or No).
    bool confirmLeaving();
    void showNameHint(const GroupLayout& group, int widthBin, int lengthBin, std::string_view name);
    void showFieldHints();

    FormModel m_model;
    FormView& m_view;
    UserPrompts& m_prompts;
    Profile& m_profile;
    SimulatorProbe m_probe;
    FileViewer* m_viewer = nullptr;
    bool m_busy = false;
    bool m_spiceSizes = false;
};

} // namespace tarvex::form
