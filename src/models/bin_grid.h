// SPDX-License-Identifier: MIT
// Binned model cards grouped as a library binds them ("nfet_03v3.0" … "nfet_03v3.15"), and a group
// turned into a bin table when its bounds cut the plane into a grid that a table can hold.
#pragma once

#include "bins/bin_table.h"
#include "models/model_library.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarvex {

// The binned cards of one type that belong together: those sharing the name before a numeric ".N"
// suffix (the group is named by that base), or every binned card without one (named by the type).
struct CardGroup {
    std::string name;
    ModelType type = ModelType::Nmos;
    std::vector<ModelCard> cards; // each name once, in the order read
    // Cards of the group defined with other bounds in another section, one message each.
    std::vector<std::string> conflicts;
};

// The groups of binned cards in the order their first card was read. A card defined alike in
// several sections (the corners of one library) counts once; the same name with other bounds is
// kept as the first definition and noted in the group's conflicts.
std::vector<CardGroup> BinnedGroups(const ModelLibrary& library);

// Cards whose four bounds are all written but not all as numbers the reader could evaluate, one
// message each ("nch.0: lmin={lmin0} not evaluated").
std::vector<std::string> UnevaluatedBounds(const ModelLibrary& library);

// The group of that type with that name (compared without regard to case); nullptr when there is none.
const CardGroup* FindGroup(const std::vector<CardGroup>& groups, ModelType type, std::string_view name);

// The binned cards of that type whose names match glob ("NCH_*": '*' and '?', letters without regard
// to case), gathered with their conflicts into one group named by the glob. Nothing when glob holds
// no '*' or '?', or matches no card.
std::optional<CardGroup> GatherGroup(const std::vector<CardGroup>& groups, ModelType type,
                                     std::string_view glob);

struct GridResult {
    int lengthBins = 0; // the intervals between the group's distinct edges
    int widthBins = 0;
    std::optional<BinTable> table; // only when no reason stands against it
    std::vector<std::string> reasons;
};

// Cuts the plane at the group's distinct L and W edges (values within 1e-9 relative are one edge)
// and fills a table when every cell holds exactly one card and every card exactly one cell, with at
// most five bins per axis and names that fit a cell. Otherwise every reason is given at once,
// naming the cards: too many bins, gaps, overlaps, cards cut by others' edges, long names, cards
// local to a subcircuit, an ".option scale" in the library, and conflicting definitions.
GridResult BuildBinTable(const CardGroup& group, const ModelLibrary& library);

// One line naming a group for a list to choose from:
// "nfet_03v3 (nmos): 16 cards, 4 length × 4 width bins, fits a table".
std::string DescribeGroup(const CardGroup& group, const GridResult& grid);

} // namespace tarvex
