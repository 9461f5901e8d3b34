// SPDX-License-Identifier: MIT
// tarvex-cli show: both tables of a settings file as grids like the window's, with their Keys.
#include "cli_common.h"
#include "commands.h"

#include "bins/engineering_value.h"
#include "files/paths.h"
#include "settings/settings_file.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <array>
#include <cerrno>
#include <memory>
#include <string>

namespace tarvex::cli {
namespace {

// Control bytes would break the grid; they show as '?'. Other bytes are shown as stored.
std::string Printable(std::string_view text) {
    std::string shown(text);
    std::replace_if(
        shown.begin(), shown.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7f; },
        '?');
    return shown;
}

void Pad(std::string& out, std::string_view text, std::size_t width) {
    out += text;
    out.append(width > text.size() ? width - text.size() : 0, ' ');
}

// The width bounds stand on the vertical rules along the top and the length bounds on the horizontal
// rules down the left; columns are width bins and rows are length bins, as in the window.
std::string Grid(std::string_view title, const BinTable& table, std::string_view key,
                 std::string_view defaultKey) {
    std::array<std::string, kBoundCount> widths;
    std::array<std::string, kBoundCount> lengths;
    std::array<std::array<std::string, kBinCount>, kBinCount> names; // [width bin][length bin]
    std::size_t cell = 6; // wide enough to read even when every cell is empty
    std::size_t margin = std::string_view("L \\ W").size();
    for (int i = 0; i < kBoundCount; ++i) {
        widths[i] = FormatG(table.widthBounds[i]);
        lengths[i] = FormatG(table.lengthBounds[i]);
        cell = std::max(cell, widths[i].size());
        margin = std::max(margin, lengths[i].size());
    }
    for (int w = 0; w < kBinCount; ++w) {
        for (int l = 0; l < kBinCount; ++l) {
            names[w][l] = Printable(PartName(table, w, l));
            cell = std::max(cell, names[w][l].size());
        }
    }
    margin += 2;
    cell += 2; // a space either side of a name

    std::string out(title);
    out += "  Key: ";
    out += key.empty() ? "(empty, " + std::string(defaultKey) + " is used)" : Printable(key);
    out += '\n';
    Pad(out, "L \\ W", margin);
    for (int i = 0; i < kBoundCount; ++i) {
        Pad(out, widths[i], i + 1 < kBoundCount ? cell + 1 : 0);
    }
    out += '\n';
    std::string rule = "+";
    for (int w = 0; w < kBinCount; ++w) {
        rule.append(cell, '-');
        rule += '+';
    }
    for (int l = 0; l < kBoundCount; ++l) {
        Pad(out, lengths[l], margin);
        out += rule;
        out += '\n';
        if (l == kBinCount) {
            break;
        }
        out.append(margin, ' ');
        out += '|';
        for (int w = 0; w < kBinCount; ++w) {
            out += ' ';
            Pad(out, names[w][l], cell - 1);
            out += '|';
        }
        out += '\n';
    }
    return out;
}

int RunShow(const std::string& path) {
    const LoadResult loaded = ReadSettingsFile(PathFromText(path));
    if (!loaded.loaded) {
        PrintError(loaded.error);
        return kExitError;
    }
    const SettingsFile& settings = loaded.settings;
    const std::string text = Grid("N-channel table", settings.tableN, KeyText(settings.keyN), kDefaultKeyN) +
                             '\n' +
                             Grid("P-channel table", settings.tableP, KeyText(settings.keyP), kDefaultKeyP);
    if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size() || std::fflush(stdout) != 0) {
        PrintError("Error: Cannot write standard output: " + ErrorText(errno) + ".");
        return kExitError;
    }
    return kExitOk;
}

} // namespace

void AddShowCommand(CLI::App& app, int& exitCode) {
    auto path = std::make_shared<std::string>();
    CLI::App* command = app.add_subcommand("show", "Print both tables and Keys of a settings file");
    command->add_option("FILE.amd", *path, "Settings file to show")->required();
    command->callback([path, &exitCode] { exitCode = RunShow(*path); });
}

} // namespace tarvex::cli
