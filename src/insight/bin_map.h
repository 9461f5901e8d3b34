// SPDX-License-Identifier: MIT
// A picture of where a run's devices sit in the width-length plane: one self-contained SVG file
// with a panel per polarity, the bins as rectangles with their part names, and every device as a
// mark whose tooltip names its line.
#pragma once

#include "insight/bin_usage.h"
#include "rewrite/line_rewriter.h"
#include "text/result.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

namespace tarvex {

// Up to this many drawn devices a panel gives each device its own mark; beyond it, devices at the
// same rounded place share one mark whose tooltip gives their count and the first of their lines.
inline constexpr std::size_t kMapSingleDeviceLimit = 2000;

// A binned model card of a model library, drawn as a thin outline over the panel of its polarity
// and family.
struct MapCard {
    std::string name;
    double lmin = 0.0;
    double lmax = 0.0;
    double wmin = 0.0;
    double wmax = 0.0;
    Polarity polarity = Polarity::N;
    std::size_t family = 0;
};

// Collects the devices of a run, across any number of netlists, and draws them: a panel per
// polarity of each family of Keys, titled with its Key. Memory stays bounded however many devices
// arrive: devices are kept one by one only up to the limit above, and otherwise summed per small
// place of the plane (which grows coarser if the places grow too many).
class BinMap {
public:
    // One family with the default Keys and empty tables.
    BinMap() : BinMap(RewriteRules()) {}
    // The tables and Keys that the run used; the devices' bins refer to these tables.
    explicit BinMap(const RewriteRules& rules) : BinMap(std::span(&rules, 1)) {}
    // The same for a run of several families; a device's family is its index in families.
    explicit BinMap(std::span<const RewriteRules> families);

    // One device as the rewrite reported it; file names the netlist in the tooltips. A device of a
    // family the map was not made with is left out.
    void add(std::string_view file, std::uint64_t line, const DeviceEvent& event);

    // Cards drawn as outlines; a card whose bounds are not positive and ascending is left out.
    void setCards(std::vector<MapCard> cards) { m_cards = std::move(cards); }

    std::uint64_t deviceCount() const;

    // The whole SVG document (UTF-8; any byte of a netlist or part name that is not valid UTF-8 or
    // is a control character shows as U+FFFD, so the file is well-formed whatever the input).
    std::string svg() const;

private:
    // One device as stored: where it stands and what the rewrite did; the part name is looked up
    // again in the tables when the tooltip is written.
    struct Stored {
        std::uint32_t file = 0;
        std::uint64_t line = 0;
        DeviceEvent event;
    };
    // Devices of one place of the plane (quantised log W and L) and one kind (kept or not).
    struct Group {
        std::uint64_t count = 0;
        std::vector<Stored> first; // the first few, for the tooltip
    };
    using PlaceKey = std::tuple<bool, std::int64_t, std::int64_t>; // kept, log W step, log L step

    struct Panel {
        std::uint64_t total = 0; // every device of this polarity
        std::uint64_t kept = 0;
        std::uint64_t drawn = 0; // devices with a positive, finite L and W
        CellCounts cells{};
        std::vector<Stored> singles; // every drawn device, while there are at most the limit
        std::map<PlaceKey, Group> groups;
        int stepsPerDecade = 1024;
        std::vector<Stored> unsized; // the first of the devices without a drawable size
        std::uint64_t unsizedCount = 0;
    };

    using Square = std::tuple<bool, long, long>; // kept, column, row of a crowded panel's marks
    struct Plot;                                 // a panel's plot area and its axes
    struct Layout;                               // what a panel draws, and its plot

    void coarsen(Panel& panel) const;
    std::string describe(const Stored& device) const;
    std::string sharedTitle(const Group& group) const;
    static std::map<Square, Group> squaresOf(const Panel& panel, const Plot& plot, double size);
    void drawPlaces(std::string& out, const Panel& panel, const Plot& plot) const;
    Layout layout(const Panel& panel, const BinTable& table, std::size_t family, Polarity polarity,
                  double top) const;
    static void drawAxes(std::string& out, const Plot& plot);
    static void drawBins(std::string& out, const Panel& panel, const BinTable& table, const Layout& layout);
    void drawDevices(std::string& out, const Panel& panel, const Plot& plot) const;
    double listUnsized(std::string& out, const Panel& panel, double y) const;
    void drawPanel(std::string& out, const Panel& panel, std::size_t family, Polarity polarity, double top,
                   double& bottom) const;
    double drawLegend(std::string& body, double y) const;
    static std::size_t panelIndex(std::size_t family, Polarity polarity) {
        return 2 * family + (polarity == Polarity::N ? 0 : 1);
    }

    std::vector<RewriteRules> m_families;
    std::vector<std::string> m_files;
    std::vector<MapCard> m_cards;
    std::vector<Panel> m_panels; // N then P of each family
};

// A tick label in engineering notation with the netlist's suffixes: "0.5u", "10u", "180n", "2MEG".
std::string EngineeringLabel(double value);

// Text for an SVG document: valid UTF-8 is kept, anything else (invalid sequences, control bytes,
// U+FFFE and U+FFFF) becomes U+FFFD, and the five markup characters are escaped. With keepNewlines,
// '\n' passes (tooltips of several lines).
void AppendXmlText(std::string& out, std::string_view bytes, bool keepNewlines = false);

// Writes svg to path through a file beside it that replaces the target only once complete; the
// message when it cannot.
Result<void> WriteBinMap(const std::filesystem::path& path, std::string_view svg);

} // namespace tarvex
