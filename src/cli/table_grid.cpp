// SPDX-License-Identifier: MIT
#include "table_grid.h"

#include "bins/engineering_value.h"
#include "rewrite/rules.h"

#include <algorithm>

namespace tarvex::cli {
namespace {

void Pad(std::string& out, std::string_view text, std::size_t width) {
    out += text;
    out.append(width > text.size() ? width - text.size() : 0, ' ');
}

std::string SettingsGrid(std::string_view title, const BinTable& table, std::string_view key,
                         std::string_view defaultKey) {
    std::string heading(title);
    heading += "  Key: ";
    heading += key.empty() ? "(empty, " + std::string(defaultKey) + " is used)" : Printable(key);
    const GridRow names = NameRow(table);
    return DrawTableGrid(heading, table, {&names, 1});
}

} // namespace

std::string DrawSettings(const SettingsFile& settings) {
    return SettingsGrid("N-channel table", settings.tableN, KeyText(settings.keyN), kDefaultKeyN) + '\n' +
           SettingsGrid("P-channel table", settings.tableP, KeyText(settings.keyP), kDefaultKeyP);
}

std::string Printable(std::string_view text) {
    std::string shown(text);
    std::replace_if(
        shown.begin(), shown.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7f; },
        '?');
    return shown;
}

GridRow NameRow(const BinTable& table) {
    GridRow row;
    for (int w = 0; w < kBinCount; ++w) {
        for (int l = 0; l < kBinCount; ++l) {
            row.cells[static_cast<std::size_t>(w)][static_cast<std::size_t>(l)] =
                Printable(PartName(table, w, l));
        }
    }
    return row;
}

std::string DrawTableGrid(std::string_view heading, const BinTable& table, std::span<const GridRow> rows) {
    std::array<std::string, kBoundCount> widths;
    std::array<std::string, kBoundCount> lengths;
    std::size_t cell = 6; // wide enough to read even when every cell is empty
    std::size_t margin = std::string_view("L \\ W").size();
    for (std::size_t i = 0; i < kBoundCount; ++i) {
        widths[i] = FormatG(table.widthBounds[i]);
        lengths[i] = FormatG(table.lengthBounds[i]);
        cell = std::max(cell, widths[i].size());
        margin = std::max(margin, lengths[i].size());
    }
    for (const GridRow& row : rows) {
        for (const auto& column : row.cells) {
            for (const std::string& text : column) {
                cell = std::max(cell, text.size());
            }
        }
    }
    margin += 2;
    cell += 2; // a space either side of the text

    std::string out(heading);
    out += '\n';
    Pad(out, "L \\ W", margin);
    for (std::size_t i = 0; i < kBoundCount; ++i) {
        Pad(out, widths[i], i + 1 < kBoundCount ? cell + 1 : 0);
    }
    out += '\n';
    std::string rule = "+";
    for (int w = 0; w < kBinCount; ++w) {
        rule.append(cell, '-');
        rule += '+';
    }
    for (std::size_t l = 0; l < kBoundCount; ++l) {
        Pad(out, lengths[l], margin);
        out += rule;
        out += '\n';
        if (l == kBinCount) {
            break;
        }
        for (const GridRow& row : rows) {
            out.append(margin, ' ');
            out += '|';
            for (std::size_t w = 0; w < kBinCount; ++w) {
                const std::string& text = row.cells[w][l];
                if (row.alignRight) {
                    out.append(cell - 1 - text.size(), ' ');
                    out += text;
                    out += ' ';
                } else {
                    out += ' ';
                    Pad(out, text, cell - 1);
                }
                out += '|';
            }
            out += '\n';
        }
    }
    return out;
}

} // namespace tarvex::cli
