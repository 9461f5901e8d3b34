// SPDX-License-Identifier: MIT
#include "models/model_check.h"

#include "bins/bin_table.h"
#include "bins/engineering_value.h"

namespace tarvex {
namespace {

bool AtLeast(double x, const std::optional<ModelBound>& bound) {
    return !bound || !bound->value || x >= *bound->value || NearlyEqual(x, *bound->value);
}

bool AtMost(double x, const std::optional<ModelBound>& bound) {
    return !bound || !bound->value || x <= *bound->value || NearlyEqual(x, *bound->value);
}

std::string Range(const std::optional<ModelBound>& low, const std::optional<ModelBound>& high) {
    auto show = [](const std::optional<ModelBound>& bound) {
        return bound && bound->value ? FormatG(*bound->value) : std::string("-");
    };
    return show(low) + ".." + show(high);
}

// The sizes of the device outside the card, or empty when the card holds it.
std::string Outside(const ModelCard& card, const DeviceEvent& event) {
    std::string outside;
    if (event.hasLength && !(AtLeast(event.length, card.lmin) && AtMost(event.length, card.lmax))) {
        outside += "L outside " + Range(card.lmin, card.lmax);
    }
    if (event.hasWidth && !(AtLeast(event.width, card.wmin) && AtMost(event.width, card.wmax))) {
        outside += (outside.empty() ? "" : ", ") + std::string("W outside ") + Range(card.wmin, card.wmax);
    }
    return outside;
}

// The base of a name with a numeric ".N" suffix, or empty.
std::string_view Base(std::string_view name) {
    const std::size_t dot = name.rfind('.');
    if (dot == std::string_view::npos || dot == 0 || dot + 1 == name.size() ||
        name.find_first_not_of("0123456789", dot + 1) != std::string_view::npos) {
        return {};
    }
    return name.substr(0, dot);
}

} // namespace

ModelIndex::ModelIndex(const ModelLibrary& library) {
    for (const ModelCard& card : library.cards) {
        if (!card.subcircuit.empty()) {
            continue;
        }
        m_cards[LowerName(card.name)].push_back(card);
        const std::string_view base = Base(card.name);
        if (!base.empty() && card.binned()) {
            m_cards[std::string("\x01") += LowerName(base)].push_back(
                card); // kept apart from cards of that very name
        }
    }
}

Result<void> ModelIndex::check(const DeviceEvent& event) const {
    const std::string_view partName = event.partName;
    const ModelType type = event.polarity == Polarity::N ? ModelType::Nmos : ModelType::Pmos;
    auto found = m_cards.find(LowerName(partName));
    const bool group = found == m_cards.end();
    if (group) {
        found = m_cards.find(std::string("\x01") += LowerName(partName));
    }
    if (found == m_cards.end()) {
        return Fail("no card in the models defines it");
    }
    std::vector<const ModelCard*> ofType;
    for (const ModelCard& card : found->second) {
        if (card.type == type) {
            ofType.push_back(&card);
        }
    }
    if (ofType.empty()) {
        return Fail("a " + std::string(TypeName(found->second.front().type)) + " card, not " +
                    std::string(TypeName(type)));
    }
    for (const ModelCard* card : ofType) {
        if (Outside(*card, event).empty()) {
            return {};
        }
    }
    if (group) {
        return Fail("no card of the group holds this size");
    }
    return Fail(Outside(*ofType.front(), event) +
                (ofType.size() > 1 ? " (and outside its other definitions)" : ""));
}

std::string DescribeModelProblem(std::string_view file, std::uint64_t line, const DeviceEvent& event,
                                 std::string_view problem) {
    std::string text(file);
    text += ':' + std::to_string(line) + (event.polarity == Polarity::N ? ": N" : ": P");
    if (event.hasLength) {
        text += " L=" + FormatG(event.length);
    }
    if (event.hasWidth) {
        text += " W=" + FormatG(event.width);
    }
    text += ' ';
    text += event.partName;
    text += ": ";
    text += problem;
    return text;
}

} // namespace tarvex
