// SPDX-License-Identifier: MIT
#include "form/form_presenter.h"

#include "bins/engineering_value.h"
#include "files/paths.h"
#include "files/replacement_file.h"
#include "form/form_layout.h"
#include "form/private_file.h"
#include "insight/device_report.h"
#include "models/bin_grid.h"
#include "models/bin_import.h"
#include "process/process.h"
#include "rewrite/reader_rewrite.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <exception>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>

namespace tarvex::form {
namespace {

// Under the classic rule, a second paragraph for the first problem when devices kept their Key for
// want of a size that the SPICE rule reads: it names the menu entry that reads them.
std::string SpiceSizesHint(const RunReport& report) {
    if (report.devicesReadAsSpice == 0) {
        return {};
    }
    return "\n\n" + SpiceHint(report.devicesReadAsSpice, "\"" + std::string(kSpiceSizesEntry) + "\"");
}

const FileFilter kAllFiles{"All Files (*.*)", {"*.*"}};

// A refusal with more reasons than this shows them under Show Details.
constexpr std::size_t kMaxShownReasons = 3;
constexpr std::string_view kNothingChanged = "Nothing was changed.";
constexpr std::string_view kTablesUnchanged = "The tables were not changed.";

std::vector<FileFilter> NetlistFilters() {
    return {{"Net Files (*.net)", {"*.net"}}, {"Backup Files (*.ant)", {"*.ant"}}, kAllFiles};
}

std::vector<FileFilter> SettingsFilters() {
    return {{"MODxy Files (*.amd)", {"*.amd"}}, kAllFiles};
}

std::vector<FileFilter> ModelFilters() {
    return {{"Model Libraries (*.lib *.spice *.sp *.mod *.ngspice)",
             {"*.lib", "*.spice", "*.sp", "*.mod", "*.ngspice"}},
            kAllFiles};
}

BinTable& TableOf(SettingsFile& settings, const GroupLayout& group) {
    return &group == &kGroupN ? settings.tableN : settings.tableP;
}

KeyField& KeyOf(SettingsFile& settings, const GroupLayout& group) {
    return &group == &kGroupN ? settings.keyN : settings.keyP;
}

Polarity PolarityOf(const GroupLayout& group) {
    return &group == &kGroupN ? Polarity::N : Polarity::P;
}

std::string DeviceCount(std::uint64_t count) {
    return std::to_string(count) + (count == 1 ? " device" : " devices");
}

// Which table and cell a name field stands for: "N, width bin 2, length bin 1" (bins counted from 1),
// so that the two tables, which look alike, are told apart.
std::string CellName(const GroupLayout& group, int widthBin, int lengthBin) {
    return std::string(&group == &kGroupN ? "N" : "P") + ", width bin " + std::to_string(widthBin + 1) +
           ", length bin " + std::to_string(lengthBin + 1);
}

// A name field's tooltip: its cell and the whole name, which the narrow field cuts, and after a
// run how many of its devices fell into the cell. An empty cell that devices fell into says they
// kept their Key; an empty cell without devices has no tooltip.
std::string NameHint(std::string_view cell, std::string_view name, std::uint64_t count, bool afterRun) {
    if (name.empty()) {
        if (!afterRun || count == 0) {
            return {};
        }
        return std::string(cell) + ": no part name\n" + DeviceCount(count) + " of the last run kept " +
               (count == 1 ? "its" : "their") + " placeholder";
    }
    std::string hint = std::string(cell) + ": " + std::string(name);
    if (afterRun) {
        hint += '\n' + (count == 0 ? std::string("No device") : DeviceCount(count)) + " in the last run";
    }
    return hint;
}

// A bound field's tooltip: "N, width bound 2: 5.0001e-05", the whole text that the narrow field may
// cut; none for an empty field.
std::string BoundHint(const GroupLayout& group, BoundAxis axis, std::size_t index, std::string_view shown) {
    if (shown.empty()) {
        return {};
    }
    return std::string(&group == &kGroupN ? "N" : "P") + (axis == BoundAxis::Width ? ", width" : ", length") +
           " bound " + std::to_string(index + 1) + ": " + std::string(shown);
}

// A bound with 15 significant digits: every digit a designer types, none of the binary rounding
// that "5u" picks up (4.9999999999999996e-06); empty for 0, as the field shows it.
std::string FullValue(double value) {
    if (value == 0) {
        return {};
    }
    std::array<char, 32> text{};
    const auto written =
        std::to_chars(text.data(), text.data() + text.size(), value, std::chars_format::general, 15);
    return {text.data(), written.ptr};
}

// Every kept device of the run, one per line, the list cut after kMaxListedDevices.
std::string KeptDevicesDetails(const LastRun& run) {
    std::string details;
    for (const std::string& device : run.keptDevices) {
        if (!details.empty()) {
            details += '\n';
        }
        details += device;
    }
    if (run.keptCount > run.keptDevices.size()) {
        details += "\nand " + std::to_string(run.keptCount - run.keptDevices.size()) + " more";
    }
    return details;
}

// A refusal with its reasons and what it left alone (unchanged: "Nothing was changed."). A few
// reasons are shown whole; more are summed up in one line, with the list under Show Details.
void ShowRefusal(UserPrompts& prompts, std::string_view headline, const std::vector<std::string>& reasons,
                 std::string_view unchanged) {
    std::string list;
    for (const std::string& reason : reasons) {
        list += (list.empty() ? "" : "\n") + reason;
    }
    if (reasons.size() <= kMaxShownReasons) {
        prompts.showStop(std::string(headline) + ":\n" + list + "\n" + std::string(unchanged), {});
        return;
    }
    prompts.showStop(std::string(headline) + ": " + std::to_string(reasons.size()) +
                         " reasons, listed under Show Details. " + std::string(unchanged),
                     list);
}

// The first line of a completed run's details: "amp.net written, amp.ant kept; 3 of 912 devices
// kept their placeholder".
std::string RunSummary(const ProcessPlan& plan, const LastRun& run) {
    return DisplayPath(plan.target.filename()) + " written, " + DisplayPath(plan.backup.filename()) +
           " kept; " + std::to_string(run.keptCount) + " of " + DeviceCount(run.deviceCount) + " kept " +
           (run.keptCount == 1 ? "its" : "their") + " placeholder";
}

// The binned card group to import into group's table: the only one of its type, or the one the
// user picks among several; empty when the library has none. Nothing when the user cancelled.
std::optional<ImportGroup> ChooseCardGroup(UserPrompts& prompts, const GroupLayout& group,
                                           const BinImport& import) {
    const ModelType type = &group == &kGroupN ? ModelType::Nmos : ModelType::Pmos;
    const std::vector<ImportGroup> ofType = import.ofType(type);
    if (ofType.size() <= 1) {
        return ofType.empty() ? ImportGroup{} : ofType.front();
    }
    std::vector<std::string> items;
    for (const ImportGroup& candidate : ofType) {
        items.push_back(DescribeGroup(*candidate.group, *candidate.grid));
    }
    const auto answer =
        prompts.chooseItem("The model library holds " + std::to_string(ofType.size()) + " binned " +
                               std::string(TypeName(type)) + " groups. Choose the one for the " +
                               std::string(group.caption) + " table:",
                           items);
    if (!answer || *answer >= ofType.size()) {
        return std::nullopt;
    }
    return ofType[*answer];
}

// What went where, a line per table imported: "MODxyN table: nfet_03v3, 16 cards, 4 length × 4 width bins".
std::string ImportDescription(const std::array<ImportGroup, 2>& chosen) {
    std::string description;
    for (std::size_t i = 0; i < kGroups.size(); ++i) {
        const ImportGroup& picked = chosen[i];
        if (!picked || !picked.grid->table) {
            continue;
        }
        description += (description.empty() ? "" : "\n") + std::string(kGroups[i]->caption) +
                       " table: " + picked.group->name + ", " + std::to_string(picked.group->cards.size()) +
                       " cards, " + std::to_string(picked.grid->lengthBins) + " length × " +
                       std::to_string(picked.grid->widthBins) + " width bins";
    }
    return description;
}

// The tables an import builds and what went where.
struct FormImport {
    ImportedTables tables;
    std::string description;
};

// Chooses a group per type of library (read from path) and builds its table; nothing after
// telling the user why no table can be imported, or when a choice was cancelled.
std::optional<FormImport> ImportTables(UserPrompts& prompts, const std::filesystem::path& path,
                                       const BinImport& import) {
    std::array<ImportGroup, 2> chosen;
    for (std::size_t i = 0; i < kGroups.size(); ++i) {
        const std::optional<ImportGroup> choice = ChooseCardGroup(prompts, *kGroups[i], import);
        if (!choice) {
            return std::nullopt;
        }
        chosen[i] = *choice;
    }
    FormImport imported{BuildImportedTables(chosen[0], chosen[1]), ImportDescription(chosen)};
    std::vector<std::string>& reasons = imported.tables.reasons;
    if (!imported.tables.n && !imported.tables.p && reasons.empty()) {
        reasons.push_back("No binned nmos or pmos cards (all four of lmin, lmax, wmin and wmax as numbers).");
        for (const std::string& note : UnevaluatedBounds(import.library())) {
            reasons.push_back(note);
        }
    }
    if (reasons.empty()) {
        return imported;
    }
    ShowRefusal(prompts, "Cannot import bins from " + QuotedPath(path), reasons, kTablesUnchanged);
    return std::nullopt;
}

// The settings file an import writes, asked for beside the library and offered under its name;
// nothing when the user cancels or names a file the library was read from (which is refused).
std::optional<std::filesystem::path> AskImportTarget(UserPrompts& prompts,
                                                     const std::filesystem::path& workingFolder,
                                                     const std::filesystem::path& path,
                                                     const ModelLibrary& library) {
    FileRequest request;
    request.save = true;
    request.filters = SettingsFilters();
    request.defaultExtension = "amd";
    request.initialName = path.stem();
    request.initialName += ".amd";
    request.startFolder = path.parent_path();
    const auto chosen = prompts.askFile(request);
    if (!chosen) {
        return std::nullopt;
    }
    const std::filesystem::path target = workingFolder / *chosen;
    if (const Result<void> clear = CheckNotReadFrom(target, library, {path}); !clear) {
        prompts.showStop(clear.error(), {});
        return std::nullopt;
    }
    return target;
}

} // namespace

FormPresenter::FormPresenter(FormView& view, UserPrompts& prompts, Profile& profile, SimulatorProbe probe)
    : m_view(view), m_prompts(prompts), m_profile(profile), m_probe(std::move(probe)) {}

void FormPresenter::StartUp(const std::optional<std::filesystem::path>& settingsFile) {
    std::error_code ignored;
    m_model.workingFolder = std::filesystem::current_path(ignored);
    m_spiceSizes = m_profile.readsSizesAsSpice();
    probeSimulator();
    // A file named at start is opened as Load opens it, Keys included, but never created: a
    // mistyped name is reported rather than left behind as an empty file.
    bool shown = false;
    if (settingsFile) {
        const std::filesystem::path full = m_model.workingFolder / *settingsFile;
        shown = showSettings(full, ReadSettingsFile(full), true);
    } else if (const std::filesystem::path remembered = m_profile.settingsPath(); !remembered.empty()) {
        loadSettingsFrom(remembered, false);
    }
    if (!shown) {
        m_view.setFieldText(kGroupN.keyId, kDefaultKeyN);
        m_view.setFieldText(kGroupP.keyId, kDefaultKeyP);
    }
    markSaved();
    m_view.focusControl(kTabOrder.front());
}

bool FormPresenter::Command(int id) {
    switch (id) {
    case kLoadId:
        Load();
        return true;
    case kSaveId:
        Save();
        return true;
    case kProcessId:
        Process();
        return true;
    case kClearId:
        Clear();
        return true;
    case kExitId:
        Exit();
        return true;
    case kHelpId:
        Help();
        return true;
    default:
        return false;
    }
}

bool FormPresenter::MenuEntryEnabled(MenuCommand command) const {
    if (m_busy) {
        return false;
    }
    return command != MenuCommand::BinMap || BinMapAvailable();
}

bool FormPresenter::RunMenuCommand(MenuCommand command) {
    switch (command) {
    case MenuCommand::ImportBins:
        ImportBins();
        return true;
    case MenuCommand::SpiceSizes:
        ToggleSpiceSizes();
        return true;
    case MenuCommand::BinMap:
        ShowBinMap();
        return true;
    case MenuCommand::About:
        break;
    }
    return false;
}

void FormPresenter::Run(const std::function<void(FormPresenter&)>& command) {
    if (m_busy) {
        return;
    }
    m_busy = true;
    try {
        command(*this);
    } catch (const std::exception& error) {
        m_prompts.showStop(error.what(), {});
    }
    m_busy = false;
}

// The probe's folder becomes the working folder when it exists; a relative one is taken from the
// working folder, as changing into it would have done.
void FormPresenter::probeSimulator() {
    const TitleHint hint = m_probe();
    m_model.defaultNetlistName = hint.netlistName;
    if (hint.folder) {
        const std::filesystem::path folder = m_model.workingFolder / PathFromText(*hint.folder);
        std::error_code ignored;
        if (std::filesystem::is_directory(folder, ignored)) {
            m_model.workingFolder = folder;
        }
    }
}

void FormPresenter::ReadTablesFromForm() {
    for (const GroupLayout* group : kGroups) {
        BinTable& table = TableOf(m_model.settings, *group);
        // A bound is re-read only when its field no longer shows the stored value: "%g" keeps six
        // digits, so re-parsing an untouched field could change a loaded bound.
        const auto readBound = [this](int id, double& bound) {
            if (!m_view.showsText(id, ShowFieldValue(bound))) {
                bound = ParseFieldValue(m_view.fieldText(id, kFieldTextLength)).value;
            }
        };
        for (std::size_t i = 0; i < table.widthBounds.size(); ++i) {
            readBound(group->widthBoundIds[i], table.widthBounds[i]);
            readBound(group->lengthBoundIds[i], table.lengthBounds[i]);
        }
        for (int w = 0; w < kBinCount; ++w) {
            for (int l = 0; l < kBinCount; ++l) {
                const int id = group->nameId(w, l);
                if (!m_view.showsText(id, PartName(table, w, l))) {
                    SetPartName(table, w, l, m_view.fieldText(id, kMaxPartNameLength));
                }
            }
        }
    }
}

void FormPresenter::WriteTablesToForm() {
    for (const GroupLayout* group : kGroups) {
        const BinTable& table = TableOf(m_model.settings, *group);
        for (std::size_t i = 0; i < table.widthBounds.size(); ++i) {
            m_view.setFieldText(group->widthBoundIds[i], ShowFieldValue(table.widthBounds[i]));
            m_view.setFieldText(group->lengthBoundIds[i], ShowFieldValue(table.lengthBounds[i]));
        }
        for (int w = 0; w < kBinCount; ++w) {
            for (int l = 0; l < kBinCount; ++l) {
                m_view.setFieldText(group->nameId(w, l), PartName(table, w, l));
            }
        }
    }
    showFieldHints();
}

void FormPresenter::showNameHint(const GroupLayout& group, int widthBin, int lengthBin,
                                 std::string_view name) {
    const LastRun& run = m_model.lastRun;
    const std::uint64_t count = run.usage.of(
        PolarityOf(group))[static_cast<std::size_t>(widthBin)][static_cast<std::size_t>(lengthBin)];
    m_view.setFieldHint(group.nameId(widthBin, lengthBin),
                        NameHint(CellName(group, widthBin, lengthBin), name, count, run.completed),
                        run.completed && count > 0);
}

void FormPresenter::showFieldHints() {
    for (const GroupLayout* group : kGroups) {
        const BinTable& table = TableOf(m_model.settings, *group);
        for (std::size_t i = 0; i < table.widthBounds.size(); ++i) {
            m_view.setFieldHint(group->widthBoundIds[i],
                                BoundHint(*group, BoundAxis::Width, i, FullValue(table.widthBounds[i])),
                                false);
            m_view.setFieldHint(group->lengthBoundIds[i],
                                BoundHint(*group, BoundAxis::Length, i, FullValue(table.lengthBounds[i])),
                                false);
        }
        for (int w = 0; w < kBinCount; ++w) {
            for (int l = 0; l < kBinCount; ++l) {
                showNameHint(*group, w, l, PartName(table, w, l));
            }
        }
    }
}

void FormPresenter::FieldEdited(int id) {
    for (const GroupLayout* group : kGroups) {
        for (std::size_t i = 0; i < group->widthBoundIds.size(); ++i) {
            for (const BoundAxis axis : {BoundAxis::Width, BoundAxis::Length}) {
                const auto& ids = axis == BoundAxis::Width ? group->widthBoundIds : group->lengthBoundIds;
                if (ids[i] == id) {
                    m_view.setFieldHint(
                        id, BoundHint(*group, axis, i, m_view.fieldText(id, kFieldTextLength)), false);
                    return;
                }
            }
        }
        for (int w = 0; w < kBinCount; ++w) {
            for (int l = 0; l < kBinCount; ++l) {
                if (group->nameId(w, l) == id) {
                    showNameHint(*group, w, l, m_view.fieldText(id, kMaxPartNameLength));
                    return;
                }
            }
        }
    }
}

void FormPresenter::readKeysFromForm() {
    for (const GroupLayout* group : kGroups) {
        KeyField& key = KeyOf(m_model.settings, *group);
        if (!m_view.showsText(group->keyId, KeyText(key))) {
            SetKeyText(key, m_view.fieldText(group->keyId, kMaxKeyLength));
        }
    }
}

// Loads a settings file into the form and moves the working folder to its folder. A file that
// cannot be opened changes nothing; reportFailure says whether the user hears of it.
void FormPresenter::loadSettingsFrom(const std::filesystem::path& path, bool reportFailure) {
    const std::filesystem::path full = m_model.workingFolder / path;
    showSettings(full, LoadSettings(full), reportFailure);
}

bool FormPresenter::showSettings(const std::filesystem::path& full, const Result<LoadedSettings>& loaded,
                                 bool reportFailure) {
    if (!loaded) {
        if (reportFailure) {
            m_prompts.showStop(loaded.error(), {});
        }
        return false;
    }
    m_model.settings = loaded->settings;
    m_model.currentSettingsPath = full;
    m_model.lastRun = {};
    WriteTablesToForm();
    const std::string_view keyN = KeyText(m_model.settings.keyN);
    const std::string_view keyP = KeyText(m_model.settings.keyP);
    m_view.setFieldText(kGroupN.keyId, keyN.empty() ? kDefaultKeyN : keyN);
    m_view.setFieldText(kGroupP.keyId, keyP.empty() ? kDefaultKeyP : keyP);
    if (const auto folder = FolderOf(full)) {
        m_model.workingFolder = *folder;
    }
    markSaved();
    return true;
}

void FormPresenter::markSaved() {
    m_model.saved = {m_model.settings.tableN, m_model.settings.tableP,
                     m_view.fieldText(kGroupN.keyId, kMaxKeyLength),
                     m_view.fieldText(kGroupP.keyId, kMaxKeyLength)};
    const std::filesystem::path& file = m_model.currentSettingsPath;
    m_view.setTitle(file.empty() ? std::string(kFormCaption)
                                 : DisplayPath(file.filename()) + " - " + std::string(kFormCaption));
}

bool FormPresenter::HasUnsavedChanges() {
    ReadTablesFromForm();
    const SavedForm& saved = m_model.saved;
    const auto same = [](const BinTable& a, const BinTable& b) { return std::memcmp(&a, &b, sizeof a) == 0; };
    return !same(m_model.settings.tableN, saved.tableN) || !same(m_model.settings.tableP, saved.tableP) ||
           !m_view.showsText(kGroupN.keyId, saved.keyN) || !m_view.showsText(kGroupP.keyId, saved.keyP);
}

bool FormPresenter::confirmLeaving() {
    if (!HasUnsavedChanges()) {
        return true;
    }
    const std::filesystem::path& file = m_model.currentSettingsPath;
    const std::string question = file.empty() ? std::string("Save changes to the tables?")
                                              : "Save changes to " + DisplayPath(file.filename()) + "?";
    switch (m_prompts.ask(question, true)) {
    case Answer::Yes:
        return file.empty() ? Save() : saveTo(file);
    case Answer::No:
        return true;
    case Answer::Cancel:
        break;
    }
    return false;
}

void FormPresenter::Load() {
    if (!confirmLeaving()) {
        return;
    }
    FileRequest request;
    request.mustExist = false; // a new name creates an empty settings file
    request.filters = SettingsFilters();
    request.defaultExtension = "amd";
    request.startFolder = m_model.workingFolder;
    if (const auto chosen = m_prompts.askFile(request)) {
        loadSettingsFrom(*chosen, true);
    }
}

bool FormPresenter::Save() {
    FileRequest request;
    request.save = true;
    request.filters = SettingsFilters();
    request.defaultExtension = "amd";
    request.patternAsName = true;
    request.startFolder = m_model.workingFolder;
    const auto chosen = m_prompts.askFile(request);
    return chosen && saveTo(m_model.workingFolder / *chosen);
}

bool FormPresenter::saveTo(const std::filesystem::path& path) {
    ReadTablesFromForm();
    readKeysFromForm();
    if (const Result<void> saved = SaveSettings(path, m_model.settings); !saved) {
        m_prompts.showStop(saved.error(), {});
        return false;
    }
    m_model.currentSettingsPath = path;
    markSaved();
    return true;
}

std::optional<RewriteRules> FormPresenter::rulesFromForm() {
    RewriteRules rules;
    rules.keyN = m_view.fieldText(kGroupN.keyId, kMaxKeyLength);
    rules.keyP = m_view.fieldText(kGroupP.keyId, kMaxKeyLength);
    ReadTablesFromForm();
    rules.tableN = m_model.settings.tableN;
    rules.tableP = m_model.settings.tableP;
    // A bad bound is shown with its field selected, so that the user can mend it at once.
    for (const GroupLayout* group : kGroups) {
        if (const auto fault = FindBoundFault(TableOf(m_model.settings, *group))) {
            m_prompts.showStop(BoundsRefusal(*fault, group->caption), {});
            const auto& ids = fault->axis == BoundAxis::Width ? group->widthBoundIds : group->lengthBoundIds;
            m_view.selectField(ids[fault->index]);
            return std::nullopt;
        }
    }
    if (const Result<void> checked = CheckRules(rules); !checked) {
        m_prompts.showStop(checked.error(), {});
        return std::nullopt;
    }
    return rules;
}

std::optional<std::filesystem::path> FormPresenter::askNetlistToProcess() {
    FileRequest request;
    request.title = "Process Netlist";
    request.filters = NetlistFilters();
    request.defaultExtension = "NET";
    request.initialName = PathFromText(m_model.defaultNetlistName);
    request.startFolder = m_model.workingFolder;
    const auto chosen = m_prompts.askFile(request);
    if (!chosen) {
        return std::nullopt;
    }
    return m_model.workingFolder / *chosen;
}

void FormPresenter::Process() {
    probeSimulator();
    const std::optional<RewriteRules> rules = rulesFromForm();
    if (!rules) {
        return;
    }
    const std::optional<std::filesystem::path> chosen = askNetlistToProcess();
    if (!chosen) {
        return;
    }
    const std::filesystem::path& path = *chosen;
    std::error_code sizeError;
    const auto size = std::filesystem::file_size(path, sizeError);
    auto progress =
        m_prompts.startProgress("Processing " + DisplayPath(path.filename()), sizeError ? 0 : size);
    m_model.lastRun = {};
    LastRun& run = m_model.lastRun;
    run.map = BinMap(*rules);
    StreamOptions options;
    options.sizes.rule = m_spiceSizes ? SizeRule::Spice : SizeRule::Classic;
    options.onProgress = [&progress](std::uint64_t bytesRead) { return progress->update(bytesRead); };
    options.onDevice = [&run, file = DisplayPath(path.filename())](std::uint64_t line,
                                                                   const DeviceEvent& event) {
        run.usage.add(event);
        run.map.add(file, line, event);
        ++run.deviceCount;
        if (event.outcome != DeviceOutcome::Replaced) {
            if (run.keptDevices.size() < kMaxListedDevices) {
                run.keptDevices.push_back(DescribeKeptDevice(file, line, event));
            }
            AppendDeviceReportRow(run.keptReport, file, line, event);
            ++run.keptCount;
        }
    };
    ProcessSafety safety;
    safety.stateFolder = m_profile.stateFolder();
    safety.goOn = [this](const Doubt& doubt) { return m_prompts.ask(DoubtQuestion(doubt), false) == Answer::Yes; };
    const ProcessOutcome outcome = ProcessNetlist(path, *rules, options, safety);
    progress.reset();
    std::string details = KeptDevicesDetails(run);
    if (outcome.completed()) {
        run.completed = true;
        if (run.keptCount > 0) {
            details = RunSummary(outcome.plan, run) + "\n" + details;
        }
    } else {
        run = {};
    }
    showFieldHints();
    showProcessOutcome(outcome, details);
}

// The first kept device (with Save when the run completed), a failure, a netlist without Keys, and
// notes about files kept, in that order.
void FormPresenter::showProcessOutcome(const ProcessOutcome& outcome, const std::string& details) {
    if (outcome.report.firstProblem && m_model.lastRun.completed) {
        m_prompts.showStopWithSave(*outcome.report.firstProblem + SpiceSizesHint(outcome.report), details,
                                   [this, &outcome] { saveKeptDevices(outcome.plan); });
    } else if (outcome.report.firstProblem) {
        m_prompts.showStop(*outcome.report.firstProblem + SpiceSizesHint(outcome.report), details);
    }
    if (outcome.error) {
        m_prompts.showStop(*outcome.error, {});
    }
    if (outcome.noKey) {
        m_prompts.showWarning(*outcome.noKey, {});
    }
    if (!outcome.notes.empty()) {
        std::string notes;
        for (const std::string& note : outcome.notes) {
            notes += (notes.empty() ? "" : "\n") + note;
        }
        m_prompts.showInfo(notes);
    }
}

// The kept devices' report goes beside the netlist by default, never over the netlist or its backup.
void FormPresenter::saveKeptDevices(const ProcessPlan& plan) {
    FileRequest request;
    request.save = true;
    request.title = "Save Details";
    request.filters = {{"CSV Files (*.csv)", {"*.csv"}}, kAllFiles};
    request.defaultExtension = "csv";
    request.initialName = plan.target.stem();
    request.initialName += "-kept.csv";
    request.startFolder = plan.target.parent_path();
    const auto chosen = m_prompts.askFile(request);
    if (!chosen) {
        return;
    }
    const std::filesystem::path target = m_model.workingFolder / *chosen;
    for (const std::filesystem::path& netlist : {plan.target, plan.backup}) {
        std::error_code ignored;
        if (std::filesystem::equivalent(target, netlist, ignored)) {
            m_prompts.showStop("Error: The details " + QuotedPath(target) + " would overwrite the netlist " +
                                   QuotedPath(netlist) + ". No file was changed.",
                               {});
            return;
        }
    }
    const std::string report = std::string(kDeviceReportHeader) + m_model.lastRun.keptReport;
    if (const ReplaceOutcome written = WriteFileReplacing(target, report);
        written.stopped != ReplaceStep::Done) {
        m_prompts.showStop(
            "Error: Cannot write " + QuotedPath(target) + ": " + ErrorText(written.error.value()) + ".", {});
    }
}

void FormPresenter::ToggleSpiceSizes() {
    m_spiceSizes = !m_spiceSizes;
    m_profile.setReadsSizesAsSpice(m_spiceSizes);
}

void FormPresenter::ShowBinMap() {
    if (!BinMapAvailable()) {
        return;
    }
    const PrivateFile map =
        WritePrivateFile(m_viewer->privateFolder(), kBinMapPrefix, ".svg", m_model.lastRun.map.svg());
    if (map.error) {
        m_prompts.showStop("Error: Cannot write the bin map " + QuotedPath(map.path) + ": " +
                               ErrorText(map.error) + ".",
                           {});
        return;
    }
    if (!m_model.binMapFile.empty()) {
        std::error_code ignored;
        std::filesystem::remove(m_model.binMapFile, ignored);
    }
    m_model.binMapFile = map.path;
    if (!m_viewer->open(map.path)) {
        m_prompts.showWarning("The bin map was written to " + QuotedPath(map.path) +
                                  ", but no program opened it. Open it in a web browser.",
                              {});
    }
}

void FormPresenter::Clear() {
    m_model.settings.tableN = BinTable{};
    m_model.settings.tableP = BinTable{};
    m_model.lastRun = {};
    WriteTablesToForm();
}

void FormPresenter::ImportBins() {
    FileRequest request;
    request.title = "Import Model Library";
    request.filters = ModelFilters();
    request.startFolder = m_model.workingFolder;
    const auto chosen = m_prompts.askFile(request);
    if (!chosen) {
        return;
    }
    const std::filesystem::path path = m_model.workingFolder / *chosen;
    const ModelLibrary library = ReadModelLibrary({path});
    if (!library.errors.empty()) {
        std::vector<std::string> errors;
        for (const LibraryNote& error : library.errors) {
            errors.push_back(error.text + ".");
        }
        ShowRefusal(m_prompts, "Cannot read the model library " + QuotedPath(path), errors, kNothingChanged);
        return;
    }
    const BinImport import(library);
    const std::optional<FormImport> imported = ImportTables(m_prompts, path, import);
    if (!imported) {
        return;
    }
    const std::optional<std::filesystem::path> target =
        AskImportTarget(m_prompts, m_model.workingFolder, path, library);
    if (!target) {
        return;
    }
    // The table not imported keeps what its fields show; the Keys are those of the form.
    ReadTablesFromForm();
    readKeysFromForm();
    SettingsFile settings = m_model.settings;
    imported->tables.applyTo(settings);
    if (const Result<void> written = WriteImportedSettings(*target, settings); !written) {
        m_prompts.showStop(written.error(), {});
        return;
    }
    if (showSettings(*target, LoadSettings(*target), true)) {
        m_prompts.showInfo("Imported from " + QuotedPath(path) + ":\n" + imported->description +
                           "\nSaved in " + QuotedPath(*target) + ", now the current settings file.");
    }
}

void FormPresenter::Exit() {
    if (!confirmLeaving()) {
        return;
    }
    m_profile.setSettingsPath(m_model.currentSettingsPath);
    m_view.endDialog(true);
}

void FormPresenter::Cancel() {
    if (!confirmLeaving()) {
        return;
    }
    m_view.endDialog(false);
}

void FormPresenter::Help() {
    if (m_viewer == nullptr) {
        return;
    }
    const std::filesystem::path page = m_viewer->helpPage();
    if (!m_viewer->showHelp(page)) {
        m_prompts.showStop("Error: Cannot open the help page " + QuotedPath(page) + ".", {});
    }
}

} // namespace tarvex::form
