// SPDX-License-Identifier: MIT
#include "models/bin_grid.h"

#include "bins/engineering_value.h"
#include "files/paths.h"

#include <algorithm>
#include <map>

namespace tarvex {
namespace {

// Messages of one kind beyond this many are summed up in one line.
constexpr std::size_t kMaxListed = 3;
// A plane cut into more cells than this is not examined cell by cell; libraries that big are no grid.
constexpr std::size_t kMaxCells = std::size_t{1} << 16;

// The name before a numeric ".N" suffix, or empty when the name has none.
std::string_view Base(std::string_view name) {
    const std::size_t dot = name.rfind('.');
    if (dot == std::string_view::npos || dot == 0 || dot + 1 == name.size()) {
        return {};
    }
    for (std::size_t i = dot + 1; i < name.size(); ++i) {
        if (name[i] < '0' || name[i] > '9') {
            return {};
        }
    }
    return name.substr(0, dot);
}

double Value(const std::optional<ModelBound>& bound) {
    return *bound->value;
}

bool SameBounds(const ModelCard& a, const ModelCard& b) {
    return NearlyEqual(Value(a.lmin), Value(b.lmin)) && NearlyEqual(Value(a.lmax), Value(b.lmax)) &&
           NearlyEqual(Value(a.wmin), Value(b.wmin)) && NearlyEqual(Value(a.wmax), Value(b.wmax));
}

std::string Where(const ModelCard& card) {
    std::string where = card.section.empty() ? std::string("outside any section") : "section " + card.section;
    return where + " (" + DisplayPath(card.file) + ":" + std::to_string(card.line) + ")";
}

// '*' matches any run of characters, '?' any one, and every other character itself without regard to
// ASCII case. One pass with a single point to go back to, the last '*': a later '*' makes the
// choices of the earlier ones final, so the time grows with pattern × text, never exponentially.
bool GlobMatch(std::string_view pattern, std::string_view text) {
    std::size_t p = 0;
    std::size_t t = 0;
    std::size_t star = std::string_view::npos; // the last '*' met
    std::size_t resume = 0;                    // where that '*' will take one more character
    while (t < text.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            star = p++;
            resume = t;
        } else if (p < pattern.size() &&
                   (pattern[p] == '?' || SameName(pattern.substr(p, 1), text.substr(t, 1)))) {
            ++p;
            ++t;
        } else if (star != std::string_view::npos) {
            p = star + 1;
            t = ++resume;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') {
        ++p;
    }
    return p == pattern.size();
}

// The distinct values, ascending; values within 1e-9 relative of an edge's first value join it.
std::vector<double> Edges(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    std::vector<double> edges;
    for (const double value : values) {
        if (edges.empty() || !NearlyEqual(edges.back(), value)) {
            edges.push_back(value);
        }
    }
    return edges;
}

std::size_t EdgeIndex(const std::vector<double>& edges, double value) {
    std::size_t i = 0;
    while (i + 1 < edges.size() && !NearlyEqual(edges[i], value)) {
        ++i;
    }
    return i;
}

std::string Span(const std::vector<double>& edges, std::size_t i) {
    return FormatG(edges[i]) + ".." + FormatG(edges[i + 1]);
}

// Appends messages, the first kMaxListed of them and then how many more there were.
void AddListed(std::vector<std::string>& reasons, const std::vector<std::string>& messages,
               std::string_view what) {
    for (std::size_t i = 0; i < messages.size() && i < kMaxListed; ++i) {
        reasons.push_back(messages[i]);
    }
    if (messages.size() > kMaxListed) {
        reasons.push_back("and " + std::to_string(messages.size() - kMaxListed) + " more " +
                          std::string(what));
    }
}

struct CardCells {
    std::size_t l0, l1, w0, w1; // the card covers length bins [l0, l1) and width bins [w0, w1)
};

} // namespace

std::vector<CardGroup> BinnedGroups(const ModelLibrary& library) {
    std::vector<CardGroup> groups;
    std::map<std::pair<ModelType, std::string>, std::size_t> groupOf; // (type, lower-case name)
    std::map<std::string, std::pair<std::size_t, std::size_t>> cardOf; // lower-case card name → (group, card)
    std::map<std::string, bool> conflictNoted;
    for (const ModelCard& card : library.cards) {
        if (!card.binned()) {
            continue;
        }
        const std::string key = LowerName(card.name);
        if (const auto found = cardOf.find(key); found != cardOf.end()) {
            CardGroup& group = groups[found->second.first];
            const ModelCard& first = group.cards[found->second.second];
            if (!SameBounds(first, card) && !conflictNoted[key]) {
                conflictNoted[key] = true;
                group.conflicts.push_back(first.name + ": different bounds in " + Where(first) + " and " +
                                          Where(card) + "; choose one section (--section)");
            }
            continue;
        }
        const std::string_view base = Base(card.name);
        const std::string name = base.empty() ? std::string(TypeName(card.type)) : std::string(base);
        const auto [slot, added] = groupOf.try_emplace({card.type, LowerName(name)}, groups.size());
        if (added) {
            groups.push_back({name, card.type, {}, {}});
        }
        CardGroup& group = groups[slot->second];
        cardOf[key] = {slot->second, group.cards.size()};
        group.cards.push_back(card);
    }
    return groups;
}

std::vector<std::string> UnevaluatedBounds(const ModelLibrary& library) {
    std::vector<std::string> messages;
    for (const ModelCard& card : library.cards) {
        if (!card.lmin || !card.lmax || !card.wmin || !card.wmax || card.binned()) {
            continue;
        }
        std::string message = card.name + ":";
        for (const auto& [name, bound] : {std::pair{"lmin", &card.lmin}, std::pair{"lmax", &card.lmax},
                                          std::pair{"wmin", &card.wmin}, std::pair{"wmax", &card.wmax}}) {
            if (!(*bound)->value) {
                message += std::string(" ") + name + "=" + (*bound)->text;
            }
        }
        messages.push_back(message + " not evaluated (" + DisplayPath(card.file) + ":" +
                           std::to_string(card.line) + ")");
    }
    return messages;
}

const CardGroup* FindGroup(const std::vector<CardGroup>& groups, ModelType type, std::string_view name) {
    const auto found = std::find_if(groups.begin(), groups.end(), [&](const CardGroup& group) {
        return group.type == type && SameName(group.name, name);
    });
    return found == groups.end() ? nullptr : &*found;
}

std::optional<CardGroup> GatherGroup(const std::vector<CardGroup>& groups, ModelType type,
                                     std::string_view glob) {
    if (glob.find_first_of("*?") == std::string_view::npos) {
        return std::nullopt;
    }
    CardGroup chosen{std::string(glob), type, {}, {}};
    for (const CardGroup& group : groups) {
        if (group.type != type) {
            continue;
        }
        for (const ModelCard& card : group.cards) {
            if (GlobMatch(glob, card.name)) {
                chosen.cards.push_back(card);
            }
        }
        for (const std::string& conflict : group.conflicts) {
            const std::string_view name = std::string_view(conflict).substr(0, conflict.find(':'));
            if (GlobMatch(glob, name)) {
                chosen.conflicts.push_back(conflict);
            }
        }
    }
    if (chosen.cards.empty()) {
        return std::nullopt;
    }
    return chosen;
}

namespace {

// What is wrong with single cards of a group, each list named in the reasons.
struct CardFaults {
    std::vector<std::string> inverted, longNames, control, local, cut;
};

// The cells each card covers between the edges, and the faults of single cards.
std::vector<CardCells> PlaceCards(const CardGroup& group, const std::vector<double>& lEdges,
                                  const std::vector<double>& wEdges, CardFaults& faults) {
    std::vector<CardCells> cells;
    for (const ModelCard& card : group.cards) {
        const CardCells c{EdgeIndex(lEdges, Value(card.lmin)), EdgeIndex(lEdges, Value(card.lmax)),
                          EdgeIndex(wEdges, Value(card.wmin)), EdgeIndex(wEdges, Value(card.wmax))};
        cells.push_back(c);
        if (c.l1 <= c.l0 || c.w1 <= c.w0) {
            faults.inverted.push_back(card.name + ": lmin " + FormatG(Value(card.lmin)) + " lmax " +
                                      FormatG(Value(card.lmax)) + " wmin " + FormatG(Value(card.wmin)) +
                                      " wmax " + FormatG(Value(card.wmax)) + " hold no area");
        } else if (c.l1 - c.l0 > 1 || c.w1 - c.w0 > 1) {
            faults.cut.push_back(card.name + ": spans " + std::to_string(c.l1 - c.l0) + " length bins × " +
                                 std::to_string(c.w1 - c.w0) + " width bins cut by other cards' edges");
        }
        if (card.name.size() > kMaxPartNameLength) {
            faults.longNames.push_back(card.name + ": name of " + std::to_string(card.name.size()) +
                                       " bytes; a cell holds 19");
        }
        // A NUL would cut the name in its cell, another control byte would garble the device line.
        if (std::any_of(card.name.begin(), card.name.end(), [](char ch) {
                const auto byte = static_cast<unsigned char>(ch);
                return byte < 0x20 || byte == 0x7F;
            })) {
            std::string shown = card.name;
            std::replace_if(
                shown.begin(), shown.end(),
                [](char ch) { return static_cast<unsigned char>(ch) < 0x20 || ch == 0x7F; }, '?');
            faults.control.push_back(shown + ": name holds a control character");
        }
        if (!card.subcircuit.empty()) {
            faults.local.push_back(card.name + ": local to subcircuit " + card.subcircuit +
                                   "; a netlist cannot name it");
        }
    }
    return cells;
}

// Which card covers which cell: the overlapping pairs, and the reason when cells hold no card. The
// plane must be small enough to look at (at most kMaxCells cells).
void CheckCoverage(const CardGroup& group, const std::vector<double>& lEdges,
                   const std::vector<double>& wEdges, const std::vector<CardCells>& cells,
                   std::vector<std::string>& reasons, std::vector<std::string>& overlaps) {
    const std::size_t lBins = lEdges.empty() ? 0 : lEdges.size() - 1;
    const std::size_t wBins = wEdges.empty() ? 0 : wEdges.size() - 1;
    std::vector<int> owner(lBins * wBins, -1);
    std::map<std::pair<int, int>, std::string> pairs;
    for (std::size_t k = 0; k < cells.size(); ++k) {
        for (std::size_t l = cells[k].l0; l < cells[k].l1; ++l) {
            for (std::size_t w = cells[k].w0; w < cells[k].w1; ++w) {
                int& cell = owner[l * wBins + w];
                if (cell >= 0 && pairs.count({cell, static_cast<int>(k)}) == 0) {
                    pairs[{cell, static_cast<int>(k)}] = group.cards[static_cast<std::size_t>(cell)].name +
                                                         " and " + group.cards[k].name + " overlap at L " +
                                                         Span(lEdges, l) + " W " + Span(wEdges, w);
                } else if (cell < 0) {
                    cell = static_cast<int>(k);
                }
            }
        }
    }
    for (const auto& [cards, message] : pairs) {
        overlaps.push_back(message);
    }
    std::vector<std::string> gaps;
    for (std::size_t l = 0; l < lBins; ++l) {
        for (std::size_t w = 0; w < wBins; ++w) {
            if (owner[l * wBins + w] < 0) {
                gaps.push_back("L " + Span(lEdges, l) + " W " + Span(wEdges, w));
            }
        }
    }
    if (!gaps.empty()) {
        std::string message = group.name + ": not a grid: " + std::to_string(gaps.size()) + " of " +
                              std::to_string(lBins * wBins) + " cells hold no card (";
        for (std::size_t i = 0; i < gaps.size() && i < 3; ++i) {
            message += (i > 0 ? ", " : "") + gaps[i];
        }
        reasons.push_back(message + (gaps.size() > 3 ? ", …)" : ")"));
    }
}

// The table of a group that fits: the edges as bounds, each card's name in its cell.
BinTable FillTable(const CardGroup& group, const std::vector<double>& lEdges,
                   const std::vector<double>& wEdges, const std::vector<CardCells>& cells) {
    BinTable table;
    for (std::size_t i = 0; i < lEdges.size(); ++i) {
        table.lengthBounds[i] = lEdges[i];
    }
    for (std::size_t i = 0; i < wEdges.size(); ++i) {
        table.widthBounds[i] = wEdges[i];
    }
    for (std::size_t k = 0; k < cells.size(); ++k) {
        SetPartName(table, static_cast<int>(cells[k].w0), static_cast<int>(cells[k].l0), group.cards[k].name);
    }
    return table;
}

} // namespace

GridResult BuildBinTable(const CardGroup& group, const ModelLibrary& library) {
    GridResult result;
    std::vector<double> lengths;
    std::vector<double> widths;
    for (const ModelCard& card : group.cards) {
        lengths.insert(lengths.end(), {Value(card.lmin), Value(card.lmax)});
        widths.insert(widths.end(), {Value(card.wmin), Value(card.wmax)});
    }
    const std::vector<double> lEdges = Edges(lengths);
    const std::vector<double> wEdges = Edges(widths);
    const std::size_t lBins = lEdges.empty() ? 0 : lEdges.size() - 1;
    const std::size_t wBins = wEdges.empty() ? 0 : wEdges.size() - 1;
    result.lengthBins = static_cast<int>(lBins);
    result.widthBins = static_cast<int>(wBins);
    std::vector<std::string>& reasons = result.reasons;
    if (lBins > kBinCount || wBins > kBinCount) {
        reasons.push_back(group.name + ": " + std::to_string(lBins) + " length bins × " +
                          std::to_string(wBins) + " width bins; a table holds 5 × 5");
    }
    CardFaults faults;
    const std::vector<CardCells> cells = PlaceCards(group, lEdges, wEdges, faults);
    std::vector<std::string> overlaps;
    if (lBins * wBins <= kMaxCells) {
        CheckCoverage(group, lEdges, wEdges, cells, reasons, overlaps);
    } else {
        reasons.push_back(group.name + ": not a grid of a table's size; its " +
                          std::to_string(lBins * wBins) + " cells are not looked at one by one");
    }
    AddListed(reasons, overlaps, "overlaps");
    AddListed(reasons, faults.inverted, "cards without area");
    AddListed(reasons, faults.cut, "cards cut by edges");
    AddListed(reasons, faults.longNames, "names too long");
    AddListed(reasons, faults.control, "names with control characters");
    AddListed(reasons, faults.local, "cards local to a subcircuit");
    for (const LibraryNote& note : library.scaleOptions) {
        reasons.push_back(DisplayPath(note.file) + ":" + std::to_string(note.line) + ": " + note.text +
                          ": the bounds are in another unit than L= and W=");
    }
    AddListed(reasons, group.conflicts, "cards with different bounds");
    if (!reasons.empty()) {
        return result;
    }
    const BinTable table = FillTable(group, lEdges, wEdges, cells);
    if (const Result<void> valid = ValidateBounds(table); !valid) {
        reasons.push_back(group.name + ": " + valid.error());
        return result;
    }
    result.table = table;
    return result;
}

std::string DescribeGroup(const CardGroup& group, const GridResult& grid) {
    return group.name + " (" + std::string(TypeName(group.type)) +
           "): " + std::to_string(group.cards.size()) + (group.cards.size() == 1 ? " card, " : " cards, ") +
           std::to_string(grid.lengthBins) + " length × " + std::to_string(grid.widthBins) + " width bins, " +
           (grid.table ? "fits a table" : "does not fit");
}

} // namespace tarvex
