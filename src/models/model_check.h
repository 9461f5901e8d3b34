// SPDX-License-Identifier: MIT
// A device's part name held against the model library: is there such a card, of the device's
// type, and do its L and W lie within the card's bounds?
#pragma once

#include "models/model_library.h"
#include "rewrite/rules.h"
#include "text/result.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarvex {

class ModelIndex {
public:
    // Indexes the cards a netlist can name: those outside every subcircuit. A group's base name
    // ("nfet_03v3") stands for all its cards, as simulators pick the bin of such a name themselves.
    explicit ModelIndex(const ModelLibrary& library);

    // Passes when a card named event.partName (compared without regard to case) and of the device's
    // type holds its L and W within its bounds, inclusive, with 1e-9 of relative slack; else fails
    // with what is wrong. A size the line does not give is not checked.
    Result<void> check(const DeviceEvent& event) const;

private:
    std::map<std::string, std::vector<ModelCard>> m_cards; // lower-case name → its definitions
};

// "amp.net:4: N L=5e-07 W=4e-06 nfet_03v3.b: " followed by the problem.
std::string DescribeModelProblem(std::string_view file, std::uint64_t line, const DeviceEvent& event,
                                 std::string_view problem);

} // namespace tarvex
