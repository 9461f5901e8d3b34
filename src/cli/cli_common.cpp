// SPDX-License-Identifier: MIT
#include "cli_common.h"

#include "bins/engineering_value.h"
#include "files/file_moves.h"
#include "files/paths.h"
#include "files/run_lock.h"
#include "insight/device_report.h"
#include "process/output_records.h"
#include "process/process.h"
#include "rewrite/reader_rewrite.h"
#include "settings/settings_file.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <system_error>

namespace tarvex::cli {

void AddRuleOptions(CLI::App& command, RuleOptions& options) {
    command
        .add_option("--settings", options.settings,
                    "Settings file (.amd) holding both bin tables and Keys; give one per device family to bin "
                    "several in one pass")
        ->required()
        ->allow_extra_args(false)
        ->type_name("FILE.amd");
    command.add_option("--key-n", options.keyN, "N-channel Key to replace, instead of the stored one")
        ->type_name("KEY");
    command.add_option("--key-p", options.keyP, "P-channel Key to replace, instead of the stored one")
        ->type_name("KEY");
    command
        .add_option("--report", options.report, "Write one CSV row per device to FILE ('-': standard output)")
        ->type_name("FILE|-");
    command.add_option("--threads", options.threads, "Threads that rewrite (default 0: one per core)")
        ->type_name("N");
    command
        .add_option_function<std::string>(
            "--sizes",
            [&options](const std::string& rule) {
                options.sizes.rule = rule == "spice" ? SizeRule::Spice : SizeRule::Classic;
            },
            "How device sizes are read: classic (the first \"L=\" and \"W=\" on the Key's line, the default) or "
            "spice (l=, w=, nf= in any case, + lines, parameters and {expressions}, .option scale)")
        ->check(CLI::IsMember({"classic", "spice"}))
        ->type_name("RULE");
    command
        .add_option_function<double>(
            "--scale", [&options](double scale) { options.sizes.scale = scale; },
            "With --sizes spice: multiply L and W by X before the lookup, in place of the netlist's "
            ".option scale")
        ->check(CLI::PositiveNumber)
        ->type_name("X");
    command.add_flag("--per-finger", options.sizes.perFinger,
                     "With --sizes spice: bin the width of one finger, W/NF");
    command.add_flag("--backup", options.backup,
                     "Go on where a file to be replaced may be your work (an edit, a new export): keep it as "
                     "a numbered backup (NAME.~N~)");
}

Result<std::vector<RewriteRules>> LoadRules(const RuleOptions& options) {
    if (options.settings.size() > 1 && (options.keyN || options.keyP)) {
        return Fail("Error: --key-n and --key-p need exactly one --settings.");
    }
    std::vector<RewriteRules> families;
    for (const std::string& settings : options.settings) {
        const Result<LoadedSettings> loaded = ReadSettingsFile(PathFromText(settings));
        if (!loaded) {
            return Fail(loaded.error());
        }
        RewriteRules rules;
        rules.tableN = loaded->settings.tableN;
        rules.tableP = loaded->settings.tableP;
        const std::string_view storedN = KeyText(loaded->settings.keyN);
        const std::string_view storedP = KeyText(loaded->settings.keyP);
        rules.keyN = options.keyN.value_or(std::string(storedN.empty() ? kDefaultKeyN : storedN));
        rules.keyP = options.keyP.value_or(std::string(storedP.empty() ? kDefaultKeyP : storedP));
        if (const Result<void> checked = CheckRules(rules); !checked) {
            return Fail(options.settings.size() > 1 ? settings + ": " + checked.error() : checked.error());
        }
        families.push_back(std::move(rules));
    }
    if (const Result<void> checked = CheckRules(families); !checked) {
        return Fail(checked.error());
    }
    return families;
}

ProcessSafety SafetyOf(const RuleOptions& options) {
    ProcessSafety safety;
    safety.stateFolder = UserStateFolder();
    if (options.backup) {
        safety.goOn = [](const Doubt&) { return true; };
    }
    return safety;
}

void PrintError(std::string_view message) {
    std::string line(message);
    line += '\n';
    std::fwrite(line.data(), 1, line.size(), stderr);
}

std::vector<std::string> Distinct(const std::vector<std::string>& netlists) {
    std::vector<std::string> distinct;
    for (const std::string& netlist : netlists) {
        const std::filesystem::path path = PathFromText(netlist);
        if (std::none_of(distinct.begin(), distinct.end(),
                         [&](const std::string& kept) { return SameFile(PathFromText(kept), path); })) {
            distinct.push_back(netlist);
        }
    }
    return distinct;
}

Result<std::vector<RunFile>> CollectRunFiles(const std::vector<std::string>& settings,
                                             const std::vector<std::string>& netlists) {
    std::vector<RunFile> files;
    for (const std::string& name : settings) {
        files.push_back({PathFromText(name), "settings file"});
    }
    const std::size_t settingsFiles = files.size();
    for (const std::string& netlist : netlists) {
        const std::filesystem::path path = OpenedName(PathFromText(netlist));
        for (const std::filesystem::path& file :
             {path, ChangeExtension(path, ".ant"), ChangeExtension(path, ".net")}) {
            for (std::size_t i = 0; i < settingsFiles; ++i) {
                if (SameFile(file, files[i].path)) {
                    return Fail("Error: Processing " + QuotedPath(path) +
                                " would move or replace the settings file " + QuotedPath(files[i].path) +
                                ". No file was changed.");
                }
            }
            files.push_back({file, "netlist"});
        }
    }
    return files;
}

Result<void> CheckPlannable(const std::string& netlist) {
    if (const Result<ProcessPlan> planned = PlanProcess(PathFromText(netlist)); !planned) {
        return Fail(netlist + ": " + planned.error());
    }
    return {};
}

Result<void> CheckOverwrite(std::string_view what, const std::filesystem::path& written,
                            const std::vector<RunFile>& files) {
    if (IsNumberedBackup(written)) {
        return Fail("Error: The " + std::string(what) + " " + QuotedPath(written) +
                    " would replace a numbered backup, which Tarvex keeps as it is. No file was changed.");
    }
    for (const RunFile& file : files) {
        if (SameFile(written, file.path)) {
            return Fail("Error: The " + std::string(what) + " " + QuotedPath(written) +
                        " would overwrite the " + std::string(file.role) + " " + QuotedPath(file.path) +
                        ". No file was changed.");
        }
    }
    return {};
}

Result<OutputGuard> GuardOutput(const std::filesystem::path& path, std::string_view name, bool backup) {
    OutputGuard guard;
    guard.expected = StampOf(path);
    if (!guard.expected) {
        return guard;
    }
    const std::optional<OutputRecord> record = OutputRecords(UserStateFolder()).find(path);
    if (record && record->written == *guard.expected) {
        return guard;
    }
    const Doubt doubt{std::string(name) + (record ? " was changed after Tarvex wrote it" : " was not written by Tarvex") +
                          " (a file of yours?); writing the output would replace it.",
                      path, NextNumberedBackup(path)};
    if (!backup) {
        return Fail(DoubtRefusal(doubt, "--backup"));
    }
    guard.keepOld = true;
    return guard;
}

void RememberOutput(const std::filesystem::path& path, std::vector<std::string> keys) {
    if (const auto written = StampOf(path)) {
        OutputRecords(UserStateFolder()).remember(path, {*written, std::nullopt, std::move(keys)});
    }
}

Result<void> OpenReport(Report& report, const std::optional<std::string>& path,
                        const std::vector<RunFile>& files) {
    if (!path) {
        return {};
    }
    if (*path != "-") {
        if (Result<void> clear = CheckOverwrite("report", PathFromText(*path), files); !clear) {
            return clear;
        }
    }
    return report.open(*path);
}

Result<void> Report::open(const std::string& path) {
    m_name = path == "-" ? "standard output" : QuotedPath(PathFromText(path));
    if (path == "-") {
        m_file = stdout;
    } else {
        std::error_code openError;
        m_owned = OpenFile(PathFromText(path), "w", openError);
        if (!m_owned) {
            return Fail("Error: Cannot create report " + m_name + ": " + ErrorText(openError.value()) + ".");
        }
        m_file = m_owned.get();
    }
    std::string header(kDeviceReportHeader.substr(0, kDeviceReportHeader.size() - 1));
    header += m_families.size() > 1 ? ",key" : "";
    header += m_rule == SizeRule::Spice ? ",nf,read_as\n" : "\n";
    m_error = FileWriter(m_file).write(header);
    m_ok = !m_error;
    return {};
}

void Report::addRow(std::string_view file, std::uint64_t line, const DeviceEvent& event) {
    if (!m_file) {
        return;
    }
    m_row.clear();
    AppendDeviceReportFields(m_row, file, line, event);
    if (m_families.size() > 1) {
        m_row += ',';
        AppendCsvField(m_row, KeyOf(event, m_families));
    }
    if (m_rule == SizeRule::Spice) {
        m_row += ',';
        if (event.sizes && event.sizes->fingers.readable()) {
            m_row += FormatG(event.sizes->fingers.value);
        }
        m_row += ',';
        AppendCsvField(m_row, DescribeSizes(event));
    }
    m_row += '\n';
    if (const std::error_code error = FileWriter(m_file).write(m_row); error && m_ok) {
        m_ok = false;
        m_error = error;
    }
}

Result<void> Report::close() {
    if (!m_file) {
        return {};
    }
    // The first failed write's reason: a later flush of the same stream may give none.
    const std::error_code error = m_ok ? FileWriter(m_file).flush() : m_error;
    bool ok = !error;
    if (m_owned) {
        ok = !CloseFile(std::move(m_owned)) && ok;
    }
    m_file = nullptr;
    if (!ok) {
        return Fail("Error: Cannot write report " + m_name + ": " + ErrorText(error.value()) + ".");
    }
    return {};
}

std::string_view KeyOf(const DeviceEvent& event, std::span<const RewriteRules> families) {
    const RewriteRules& rules = families[event.family];
    return event.polarity == Polarity::N ? rules.keyN : rules.keyP;
}

StreamOptions WatchDevices(std::string file, Report& report, const RuleOptions& rules,
                           std::span<const RewriteRules> families) {
    StreamOptions options;
    options.threads = rules.threads;
    options.sizes = rules.sizes;
    // Without a report only the devices that keep their Key are named.
    options.keptOnly = !report.isOpen();
    options.onDevice = [file = std::move(file), &report, families,
                        message = std::string()](std::uint64_t line, const DeviceEvent& event) mutable {
        report.addRow(file, line, event);
        if (event.outcome == DeviceOutcome::Replaced || event.outcome == DeviceOutcome::NotADevice) {
            return;
        }
        message.assign(file);
        message += ':';
        message += std::to_string(line);
        message += ": ";
        message += ProblemMessage(event).value_or("");
        if (const std::string read = DescribeSizes(event); !read.empty()) {
            message += " (" + read + ")";
        }
        if (families.size() > 1) {
            message += " (Key ";
            message += KeyOf(event, families);
            message += ')';
        }
        PrintError(message);
    };
    return options;
}

std::string DescribeSizes(const DeviceEvent& event) {
    if (event.sizes == nullptr || !event.sizes->isDevice) {
        return {};
    }
    const DeviceSizes& sizes = *event.sizes;
    std::string text;
    const auto add = [&](std::string_view name, const ReadSize& size, bool source) {
        if (!size.present) {
            return;
        }
        text += text.empty() ? "" : ", ";
        text += name;
        text += size.text;
        if (source) {
            text += size.source == SizeSource::Literal ? " literal" : " parameter";
        }
    };
    add("l=", sizes.length, true);
    add("w=", sizes.width, true);
    add("nf=", sizes.fingers, false);
    if (sizes.scaled) {
        text += ", scale " + FormatG(sizes.scale);
    }
    if (sizes.perFinger && sizes.fingers.readable()) {
        text += ", W/NF " + FormatG(sizes.widthUsed);
    }
    return text;
}

std::uint64_t CountReadAsSpice(const std::filesystem::path& path, const RunReport& report) {
    std::error_code error;
    if (report.linesWithoutSize.empty() || !std::filesystem::is_regular_file(path, error)) {
        return 0;
    }
    const FilePtr file = OpenFile(path, "r", error);
    if (!file) {
        return 0;
    }
    FileReader reader(file.get());
    return tarvex::CountReadAsSpice(reader, report.linesWithoutSize);
}

void PrintSpiceHint(std::uint64_t devices) {
    if (devices > 0) {
        PrintError(SpiceHint(devices, "--sizes spice"));
    }
}

} // namespace tarvex::cli
