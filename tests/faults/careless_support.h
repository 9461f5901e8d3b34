// SPDX-License-Identifier: MIT
// What the careless-user replays share: the user's files, checksums and snapshots of a folder, a
// settings file of small tables, the window's Process with fake ports, and tarvex-cli's arguments.
#pragma once

#include "fake_ports.h"

#include "form/form_layout.h"
#include "form/form_presenter.h"
#include "settings/settings_file.h"
#include "support/temp_dir.h"

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace tarvex::careless {

namespace fs = std::filesystem;
using test::ReadFileBytes;
using Files = std::map<std::string, std::string>; // name → content, or "-> target" for a link

inline constexpr const char* kPlaceholders =
    "* amp\nM1 d g s b MODxyN L=1U W=2U\nM2 d g s b MODxyP L=1U W=2U\n";
inline constexpr const char* kBinned = "* amp\nM1 d g s b NCH L=1U W=2U\nM2 d g s b PCH L=1U W=2U\n";
inline constexpr const char* kOther = "* another netlist the user keeps\nR1 a b 1k\n";
// A netlist whose binned copy still holds Keys: in a .model line, and in a device outside the table.
inline constexpr const char* kKeysKept =
    "* amp\n.model MODxyN nmos\nM1 d g s b MODxyN L=1U W=2U\nM9 d g s b MODxyP L=9U W=2U\n";
inline constexpr const char* kKeysKeptBinned =
    "* amp\n.model MODxyN nmos\nM1 d g s b NCH L=1U W=2U\nM9 d g s b MODxyP L=9U W=2U\n";

// A netlist without Keys chosen beside a backup: there is nothing to bin, and the backup would go.
inline constexpr const char* kNothingToBin =
    "holds a Key (MODxyN, MODxyP): there is nothing to bin, and moving it "
    "aside would replace";

// 64-bit FNV-1a: enough to tell any two of these files apart, short enough to print.
inline std::string Checksum(std::string_view bytes) {
    std::uint64_t hash = 14695981039346656037u;
    for (const char c : bytes) {
        hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211u;
    }
    return std::to_string(hash) + "/" + std::to_string(bytes.size());
}

// Every entry under folder: files as their checksum, links as "-> target", folders as "<dir>".
inline Files Snapshot(const fs::path& folder) {
    Files entries;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        const std::string name = entry.path().lexically_relative(folder).generic_string();
        if (entry.is_symlink()) {
            entries[name] = "-> " + fs::read_symlink(entry.path()).string();
        } else if (entry.is_fifo()) {
            entries[name] = "<fifo>";
        } else if (entry.is_directory()) {
            entries[name] = "<dir>";
        } else {
            entries[name] = Checksum(ReadFileBytes(entry.path()));
        }
    }
    return entries;
}

inline std::multiset<std::string> Contents(const Files& snapshot) {
    std::multiset<std::string> contents;
    for (const auto& [name, entry] : snapshot) {
        if (!entry.starts_with("-> ") && entry != "<dir>") {
            contents.insert(entry);
        }
    }
    return contents;
}

inline SettingsFile Settings(std::string_view nameN = "NCH", std::string_view nameP = "PCH") {
    SettingsFile settings;
    for (BinTable* table : {&settings.tableN, &settings.tableP}) {
        table->widthBounds = {1e-6, 5e-6, 0, 0, 0, 0};
        table->lengthBounds = {5e-7, 2e-6, 0, 0, 0, 0};
    }
    SetPartName(settings.tableN, 0, 0, nameN);
    SetPartName(settings.tableP, 0, 0, nameP);
    return settings;
}

// The state folder that the window and tarvex-cli share, under the XDG_STATE_HOME given to the tool.
inline std::filesystem::path StateFolderUnder(const fs::path& stateHome) {
    return stateHome / "Quendale" / "tarvex";
}

// What the window shows, one text after another: stops, warnings, questions and notes.
inline std::string Shown(const test::FakePrompts& prompts) {
    std::string shown;
    for (const auto* texts : {&prompts.messages, &prompts.warnings, &prompts.questions, &prompts.infos}) {
        for (const std::string& text : *texts) {
            shown += (shown.empty() ? "" : "\n") + text;
        }
    }
    return shown;
}

// The window started with settings remembered, its Keys typed when given, then Process on chosen,
// each question answered from replies, Cancel pressed at the first progress when cancel is set.
// What the window showed.
inline std::string ProcessInWindow(const fs::path& settings, const fs::path& chosen,
                                   const fs::path& stateHome, const std::vector<form::Answer>& replies,
                                   const std::optional<std::string>& keyN = {},
                                   const std::optional<std::string>& keyP = {}, bool cancel = false) {
    test::FakeView view;
    test::FakePrompts prompts;
    test::FakeProfile profile;
    profile.stored = settings;
    profile.state = StateFolderUnder(stateHome);
    form::FormPresenter presenter(view, prompts, profile, [] { return TitleHint{}; });
    presenter.StartUp();
    if (keyN) {
        view.fields.at(form::kGroupN.keyId) = *keyN;
    }
    if (keyP) {
        view.fields.at(form::kGroupP.keyId) = *keyP;
    }
    prompts.answers.push_back(chosen);
    prompts.replies.assign(replies.begin(), replies.end());
    if (cancel) {
        prompts.cancelAfterUpdates = 1;
    }
    presenter.Process();
    return Shown(prompts);
}

inline std::vector<std::string> Process(std::vector<std::string> args) {
    args.insert(args.begin(), {"process", "--settings", "s.amd"});
    return args;
}

inline std::vector<std::string> Rewrite(std::vector<std::string> args) {
    args.insert(args.begin(), {"rewrite", "--settings", "s.amd"});
    return args;
}

inline std::vector<std::string> Check(std::vector<std::string> args) {
    args.insert(args.begin(), {"check", "--settings", "s.amd"});
    return args;
}

} // namespace tarvex::careless
