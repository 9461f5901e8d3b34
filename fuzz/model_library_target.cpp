// SPDX-License-Identifier: MIT
#include "models/bin_grid.h"
#include "models/model_check.h"
#include "models/model_library.h"
#include "targets.h"

#include <algorithm>
#include <cmath>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace tarvex::fuzz {
namespace {

// The input as up to four library files, split at "\n%%\n": "f0.lib" … "f3.lib" in a folder that
// exists only here, so that includes among them (of themselves too) are followed while nothing
// is read from the disk.
const std::filesystem::path kFolder = "/tarvex-fuzz-models";

std::vector<std::string> SplitFiles(std::string_view text) {
    std::vector<std::string> files;
    while (files.size() < 3) {
        const std::size_t cut = text.find("\n%%\n");
        if (cut == std::string_view::npos) {
            break;
        }
        files.emplace_back(text.substr(0, cut + 1));
        text.remove_prefix(cut + 4);
    }
    files.emplace_back(text);
    return files;
}

bool Near(double a, double b) {
    return a == b || std::fabs(a - b) <= 1e-9 * std::max(std::fabs(a), std::fabs(b));
}

// A table made from a group: it passes the bounds check, and every card of the group sits in
// exactly one cell whose edges are the card's own bounds.
Result<void> CheckTable(const CardGroup& group, const GridResult& grid) {
    if (!grid.table) {
        return grid.reasons.empty() ? Result<void>(Fail("no table and no reason for " + group.name))
                                    : Result<void>();
    }
    if (!grid.reasons.empty()) {
        return Fail("a table for " + group.name + " despite: " + grid.reasons.front());
    }
    const BinTable& table = *grid.table;
    if (const Result<void> valid = ValidateBounds(table); !valid) {
        return Fail("the table of " + group.name + " fails its bounds: " + valid.error());
    }
    std::size_t filled = 0;
    for (int w = 0; w < kBinCount; ++w) {
        for (int l = 0; l < kBinCount; ++l) {
            const std::string_view name = PartName(table, w, l);
            if (name.empty()) {
                continue;
            }
            ++filled;
            const auto card = std::find_if(group.cards.begin(), group.cards.end(),
                                           [&](const ModelCard& c) { return c.name == name; });
            if (card == group.cards.end()) {
                return Fail("cell " + std::to_string(w) + "," + std::to_string(l) +
                            " names no card: " + std::string(name));
            }
            const auto wi = static_cast<std::size_t>(w);
            const auto li = static_cast<std::size_t>(l);
            if (!Near(*card->wmin->value, table.widthBounds[wi]) ||
                !Near(*card->wmax->value, table.widthBounds[wi + 1]) ||
                !Near(*card->lmin->value, table.lengthBounds[li]) ||
                !Near(*card->lmax->value, table.lengthBounds[li + 1])) {
                return Fail("card " + card->name + " is not in the cell of its bounds");
            }
        }
    }
    if (filled != group.cards.size()) {
        return Fail("the table of " + group.name + " fills " + std::to_string(filled) + " cells for " +
                    std::to_string(group.cards.size()) + " cards");
    }
    return {};
}

} // namespace

Result<void> CheckModelLibrary(Bytes data) {
    const std::vector<std::string> files =
        SplitFiles({reinterpret_cast<const char*>(data.data()), data.size()});
    const LibraryFileSource source = [&files](const std::filesystem::path& path) -> Result<std::string> {
        for (std::size_t i = 0; i < files.size(); ++i) {
            if (path.lexically_normal() == kFolder / ("f" + std::to_string(i) + ".lib")) {
                return files[i];
            }
        }
        return Fail("No such file or directory");
    };
    const ModelLibrary library = ReadModelLibrary({kFolder / "f0.lib"}, {}, source);
    UnevaluatedBounds(library);
    const std::vector<CardGroup> groups = BinnedGroups(library);
    std::set<std::string> names;
    for (const CardGroup& group : groups) {
        if (!names.insert(std::string(TypeName(group.type)) + ":" + group.name).second) {
            return Fail("two groups named " + group.name);
        }
        const GridResult grid = BuildBinTable(group, library);
        DescribeGroup(group, grid);
        if (Result<void> checked = CheckTable(group, grid); !checked) {
            return checked;
        }
    }
    // Every device size held against every card name found: no crash, whatever the cards hold.
    const ModelIndex index(library);
    for (const ModelCard& card : library.cards) {
        for (const double size : {0.0, 1e-6, -1.0, std::nan("")}) {
            DeviceEvent event;
            event.polarity = card.type == ModelType::Nmos ? Polarity::N : Polarity::P;
            event.partName = card.name;
            event.length = size;
            event.width = size;
            event.hasLength = event.hasWidth = true;
            (void)index.check(event);
        }
    }
    return {};
}

} // namespace tarvex::fuzz
