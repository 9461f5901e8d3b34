// SPDX-License-Identifier: MIT
#include "insight/bin_map.h"

#include "bins/engineering_value.h"
#include "files/paths.h"
#include "files/replacement_file.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <utility>

namespace tarvex {
namespace {

constexpr double kPageWidth = 760;
constexpr double kPlotLeft = 100;
constexpr double kPlotWidth = 620;
constexpr double kPlotHeight = 440;
constexpr std::size_t kFirstLines = 3; // lines named in a shared mark's tooltip
constexpr std::size_t kListedUnsized = 20;
constexpr std::size_t kMaxPlaces = 40000; // stored places per panel before they are made coarser
constexpr std::size_t kMaxMarks = 5000;   // marks of a crowded panel

constexpr std::string_view kStyle =
    "<style>"
    ".frame{fill:#fff;stroke:#777}.grid{stroke:#e3e3e3}.tick{fill:#444;font-size:11px}"
    ".bin{fill:none;stroke:#0072B2}.used{fill:#56B4E9;fill-opacity:.25}"
    ".noname{fill:none;stroke:#999;stroke-dasharray:4 3}"
    ".name{fill:#00466e;font-size:11px}"
    ".card{fill:none;stroke:#CC79A7;stroke-width:.8;stroke-dasharray:2 2}"
    ".ok{fill:#0072B2;stroke:#fff;stroke-width:.6}.kept{fill:#D55E00;stroke:#000;stroke-width:.6}"
    ".head{font-size:15px;font-weight:bold}.note{fill:#333;font-size:11px}"
    "</style>\n";

bool Drawable(double value) {
    return std::isfinite(value) && value > 0;
}

bool IsKept(const DeviceEvent& event) {
    return event.outcome != DeviceOutcome::Replaced;
}

void AppendNumber(std::string& out, double value) {
    char buffer[40];
    const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 1);
    out.append(buffer, ec == std::errc() ? end : buffer);
}

// Appends name="value" for each pair.
void AppendAttributes(std::string& out, std::initializer_list<std::pair<std::string_view, double>> pairs) {
    for (const auto& [name, value] : pairs) {
        out += ' ';
        out += name;
        out += "=\"";
        AppendNumber(out, value);
        out += '"';
    }
}

void AppendText(std::string& out, std::string_view cls, double x, double y, std::string_view text,
                std::string_view extra = {}) {
    out += "<text class=\"";
    out += cls;
    out += '"';
    AppendAttributes(out, {{"x", x}, {"y", y}});
    out += extra;
    out += '>';
    AppendXmlText(out, text);
    out += "</text>\n";
}

std::int64_t FloorHalf(std::int64_t step) {
    return step >= 0 ? step / 2 : -((-step + 1) / 2);
}

// One axis of a panel on a log scale: the decades it spans, mapped onto pixels.
struct Axis {
    double lo = -7; // log10 of the smallest value shown
    double hi = -5;

    // From the log10 values that must show; a small margin keeps marks off the frame, and an axis
    // spans at least a decade, so that it has ticks to read.
    static Axis Around(const std::vector<double>& logs) {
        Axis axis;
        if (!logs.empty()) {
            const auto [low, high] = std::minmax_element(logs.begin(), logs.end());
            axis.lo = *low;
            axis.hi = *high;
        }
        const double margin = std::max((1 - (axis.hi - axis.lo)) / 2, (axis.hi - axis.lo) * 0.05);
        axis.lo -= margin;
        axis.hi += margin;
        return axis;
    }

    double fraction(double value) const { return (std::log10(value) - lo) / (hi - lo); }

    // Tick values: 1, 2 and 5 of each decade over a short axis, else whole decades, thinned out
    // over a long one.
    std::vector<double> ticks() const {
        const double span = hi - lo;
        const bool fine = span <= 3;
        const double step = span <= 10 ? 1 : std::ceil(span / 8);
        std::vector<double> values;
        for (double decade = std::floor(lo / step) * step; decade <= hi; decade += step) {
            for (const double mantissa : {1.0, 2.0, 5.0}) {
                if (mantissa > 1 && !fine) {
                    break;
                }
                const double log = decade + std::log10(mantissa);
                if (log >= lo && log <= hi) {
                    values.push_back(std::pow(10.0, log));
                }
            }
        }
        return values;
    }
};

// A rectangle between two corners in pixels.
void AppendRect(std::string& out, std::string_view cls, double x0, double y0, double x1, double y1) {
    out += "<rect class=\"";
    out += cls;
    out += '"';
    AppendAttributes(out, {{"x", std::min(x0, x1)},
                           {"y", std::min(y0, y1)},
                           {"width", std::abs(x1 - x0)},
                           {"height", std::abs(y1 - y0)}});
}

// A device mark of the given radius: a circle for a device that gets its part name, a diamond for
// one that keeps its Key. The tooltip follows as its child.
constexpr double kMarkRadius = 4.5;
void AppendMarkStart(std::string& out, bool kept, double x, double y, double size) {
    if (kept) {
        const double r = size * 1.35;
        out += "<path class=\"kept\" d=\"M";
        AppendNumber(out, x);
        out += ' ';
        AppendNumber(out, y - r);
        out += 'l';
        AppendNumber(out, r);
        out += ' ';
        AppendNumber(out, r);
        out += ' ';
        AppendNumber(out, -r);
        out += ' ';
        AppendNumber(out, r);
        out += ' ';
        AppendNumber(out, -r);
        out += ' ';
        AppendNumber(out, -r);
        out += "z\">";
    } else {
        out += "<circle class=\"ok\"";
        AppendAttributes(out, {{"cx", x}, {"cy", y}, {"r", size}});
        out += '>';
    }
}

void AppendTitled(std::string& out, std::string_view title, bool kept) {
    out += "<title>";
    AppendXmlText(out, title, true);
    out += "</title>";
    out += kept ? "</path>\n" : "</circle>\n";
}

std::string Plural(std::uint64_t count, std::string_view one, std::string_view many) {
    return std::to_string(count) + ' ' + std::string(count == 1 ? one : many);
}

} // namespace

struct BinMap::Plot {
    Axis w;
    Axis l;
    double top = 0;

    double x(double width) const { return kPlotLeft + w.fraction(width) * kPlotWidth; }
    double y(double length) const { return top + kPlotHeight - l.fraction(length) * kPlotHeight; }
};

std::string EngineeringLabel(double value) {
    static constexpr std::array<std::string_view, 10> kSuffixes{"f", "p", "n",   "u", "m",
                                                                "",  "k", "MEG", "G", "T"};
    if (!Drawable(value)) {
        return FormatG(value);
    }
    // The suffix that leaves a mantissa in [0.1, 100): 0.5u rather than 500n, 10u rather than 0.01m.
    const auto group = static_cast<int>(std::floor((std::log10(value) + 1 + 1e-9) / 3));
    if (group < -5 || group > 4) {
        return FormatG(value);
    }
    char buffer[32];
    const double mantissa = value / std::pow(10.0, 3 * group);
    const auto [end, ec] =
        std::to_chars(buffer, buffer + sizeof buffer, mantissa, std::chars_format::general, 3);
    return std::string(buffer, ec == std::errc() ? end : buffer) +
           std::string(kSuffixes[static_cast<std::size_t>(group + 5)]);
}

void AppendXmlText(std::string& out, std::string_view bytes, bool keepNewlines) {
    constexpr std::string_view kReplacement = "\xEF\xBF\xBD";
    std::size_t i = 0;
    while (i < bytes.size()) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        if (c < 0x80) {
            switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '\'':
                out += "&apos;";
                break;
            default:
                if ((c < 0x20 && !(keepNewlines && c == '\n')) || c == 0x7F) {
                    out += kReplacement;
                } else {
                    out += static_cast<char>(c);
                }
            }
            ++i;
            continue;
        }
        // A multi-byte sequence is kept only when it is shortest-form UTF-8 of a character that XML
        // allows: no surrogates, nothing above U+10FFFF, not U+FFFE or U+FFFF.
        const std::size_t length = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 0;
        bool valid = length > 0 && c < 0xF5 && c != 0xC0 && c != 0xC1 && i + length <= bytes.size();
        char32_t code = length == 2 ? c & 0x1Fu : length == 3 ? c & 0x0Fu : c & 0x07u;
        for (std::size_t k = 1; valid && k < length; ++k) {
            const auto next = static_cast<unsigned char>(bytes[i + k]);
            valid = (next & 0xC0) == 0x80;
            code = (code << 6) | (next & 0x3Fu);
        }
        if (valid) {
            valid = (length == 3 && code >= 0x800 && (code < 0xD800 || code > 0xDFFF) && code != 0xFFFE &&
                     code != 0xFFFF) ||
                    (length == 4 && code >= 0x10000 && code <= 0x10FFFF) || length == 2;
        }
        if (valid) {
            out.append(bytes.substr(i, length));
            i += length;
        } else {
            out += kReplacement;
            ++i;
        }
    }
}

BinMap::BinMap(std::span<const RewriteRules> families)
    : m_families(families.begin(), families.end()), m_panels(2 * families.size()) {}

std::uint64_t BinMap::deviceCount() const {
    std::uint64_t count = 0;
    for (const Panel& panel : m_panels) {
        count += panel.total;
    }
    return count;
}

void BinMap::add(std::string_view file, std::uint64_t line, const DeviceEvent& event) {
    if (event.family >= m_families.size()) {
        return;
    }
    if (m_files.empty() || m_files.back() != file) {
        m_files.emplace_back(file);
    }
    Panel& panel = m_panels[panelIndex(event.family, event.polarity)];
    Stored device{static_cast<std::uint32_t>(m_files.size() - 1), line, event};
    device.event.partName = {}; // looked up again in the tables: the caller's may not outlive this
    ++panel.total;
    if (IsKept(event)) {
        ++panel.kept;
    }
    if (event.widthBin && event.lengthBin) {
        ++panel.cells[static_cast<std::size_t>(*event.widthBin)][static_cast<std::size_t>(*event.lengthBin)];
    }
    if (!(event.hasLength && event.hasWidth && Drawable(event.length) && Drawable(event.width))) {
        if (panel.unsized.size() < kListedUnsized) {
            panel.unsized.push_back(device);
        }
        ++panel.unsizedCount;
        return;
    }
    ++panel.drawn;
    if (panel.drawn <= kMapSingleDeviceLimit) {
        panel.singles.push_back(device);
    } else if (!panel.singles.empty()) {
        panel.singles = {};
    }
    const auto step = [&panel](double value) {
        return static_cast<std::int64_t>(std::floor(std::log10(value) * panel.stepsPerDecade));
    };
    Group& group = panel.groups[{IsKept(event), step(event.width), step(event.length)}];
    ++group.count;
    if (group.first.size() < kFirstLines) {
        group.first.push_back(device);
    }
    if (panel.groups.size() > kMaxPlaces && panel.stepsPerDecade > 1) {
        coarsen(panel);
    }
}

// Halves the places' resolution, merging each four neighbours; the first lines of a merged place
// are the earliest of its parts.
void BinMap::coarsen(Panel& panel) const {
    std::map<PlaceKey, Group> coarser;
    for (auto& [key, group] : panel.groups) {
        const auto& [kept, w, l] = key;
        Group& into = coarser[{kept, FloorHalf(w), FloorHalf(l)}];
        into.count += group.count;
        into.first.insert(into.first.end(), group.first.begin(), group.first.end());
    }
    for (auto& [key, group] : coarser) {
        std::sort(group.first.begin(), group.first.end(), [](const Stored& a, const Stored& b) {
            return std::tie(a.file, a.line) < std::tie(b.file, b.line);
        });
        group.first.resize(std::min(group.first.size(), kFirstLines));
    }
    panel.groups = std::move(coarser);
    panel.stepsPerDecade /= 2;
}

// "amp.net:4: N L=5e-07 W=4e-06 nch_w2_l1", or the problem in place of the part name.
std::string BinMap::describe(const Stored& device) const {
    // DescribeKeptDevice ends in ProblemLabel, which is empty for a replaced Key; the part name
    // takes its place.
    std::string text = DescribeKeptDevice(m_files[device.file], device.line, device.event);
    const DeviceEvent& event = device.event;
    if (!IsKept(event) && event.widthBin && event.lengthBin) {
        const RewriteRules& rules = m_families[event.family];
        text += PartName(event.polarity == Polarity::N ? rules.tableN : rules.tableP, *event.widthBin,
                         *event.lengthBin);
    }
    return text;
}

// The tooltip of a mark that several devices share: their count, then the first of their lines.
std::string BinMap::sharedTitle(const Group& group) const {
    std::string title;
    if (group.count > 1) {
        title = std::to_string(group.count) + " devices here, the first:\n";
    }
    for (std::size_t i = 0; i < group.first.size(); ++i) {
        if (i > 0) {
            title += '\n';
        }
        title += describe(group.first[i]);
    }
    if (group.count > group.first.size()) {
        title += "\nand " + std::to_string(group.count - group.first.size()) + " more";
    }
    return title;
}

// The stored places gathered into squares of the plot of the given size, by the square their
// centre falls in; the first lines of a square are the earliest of its places'.
std::map<BinMap::Square, BinMap::Group> BinMap::squaresOf(const Panel& panel, const Plot& plot, double size) {
    std::map<Square, Group> squares;
    const double steps = panel.stepsPerDecade;
    for (const auto& [place, group] : panel.groups) {
        const double x = plot.x(std::pow(10.0, (static_cast<double>(std::get<1>(place)) + 0.5) / steps));
        const double y = plot.y(std::pow(10.0, (static_cast<double>(std::get<2>(place)) + 0.5) / steps));
        Group& into =
            squares[{std::get<0>(place), std::lround(std::floor(x / size)), std::lround(std::floor(y / size))}];
        into.count += group.count;
        into.first.insert(into.first.end(), group.first.begin(), group.first.end());
    }
    for (auto& [square, group] : squares) {
        std::sort(group.first.begin(), group.first.end(), [](const Stored& a, const Stored& b) {
            return std::tie(a.file, a.line) < std::tie(b.file, b.line);
        });
        group.first.resize(std::min(group.first.size(), kFirstLines));
    }
    return squares;
}

// Each stored place goes into the square of the plot its centre falls in; the squares grow until
// the panel has at most kMaxMarks marks, which bounds the file whatever the devices.
void BinMap::drawPlaces(std::string& out, const Panel& panel, const Plot& plot) const {
    for (const double size : {4.0, 6.0, 8.0, 12.0, 16.0, 24.0, 32.0, 48.0}) {
        const std::map<Square, Group> squares = squaresOf(panel, plot, size);
        if (squares.size() > kMaxMarks) {
            continue;
        }
        // A mark grows with the log of its count, the fullest filling its square.
        std::uint64_t most = 2;
        for (const auto& [square, group] : squares) {
            most = std::max(most, group.count);
        }
        for (const auto& [square, group] : squares) {
            const auto& [kept, column, row] = square;
            const double share = std::log(static_cast<double>(group.count)) / std::log(static_cast<double>(most));
            const double radius = std::max(1.5, size / 2 * 0.9 * (0.5 + 0.5 * share));
            AppendMarkStart(out, kept, (static_cast<double>(column) + 0.5) * size,
                            (static_cast<double>(row) + 0.5) * size, kept ? radius / 1.35 : radius);
            AppendTitled(out, sharedTitle(group), kept);
        }
        return;
    }
}

// What a panel draws and where: the cells of its table and the library's cards whose bounds are
// positive and ascending (log axes can show no others), and the plot, fitted to them and to the
// devices.
struct BinMap::Layout {
    struct Cell {
        int w;
        int l;
    };
    std::vector<Cell> cells;
    std::vector<const MapCard*> cards;
    Plot plot;
};

BinMap::Layout BinMap::layout(const Panel& panel, const BinTable& table, std::size_t family, Polarity polarity,
                              double top) const {
    Layout layout;
    std::vector<double> wLogs;
    std::vector<double> lLogs;
    const auto show = [&wLogs, &lLogs](double w0, double w1, double l0, double l1) {
        wLogs.insert(wLogs.end(), {std::log10(w0), std::log10(w1)});
        lLogs.insert(lLogs.end(), {std::log10(l0), std::log10(l1)});
    };
    for (int w = 0; w < kBinCount; ++w) {
        for (int l = 0; l < kBinCount; ++l) {
            const auto wi = static_cast<std::size_t>(w);
            const auto li = static_cast<std::size_t>(l);
            const double wlo = table.widthBounds[wi];
            const double whi = table.widthBounds[wi + 1];
            const double llo = table.lengthBounds[li];
            const double lhi = table.lengthBounds[li + 1];
            if (Drawable(wlo) && Drawable(whi) && Drawable(llo) && Drawable(lhi) && wlo < whi && llo < lhi) {
                layout.cells.push_back({w, l});
                show(wlo, whi, llo, lhi);
            }
        }
    }
    for (const MapCard& card : m_cards) {
        if (card.polarity == polarity && card.family == family && Drawable(card.wmin) && Drawable(card.lmin) &&
            Drawable(card.wmax) && Drawable(card.lmax) && card.wmin < card.wmax && card.lmin < card.lmax) {
            layout.cards.push_back(&card);
            show(card.wmin, card.wmax, card.lmin, card.lmax);
        }
    }
    for (const Stored& device : panel.singles) {
        wLogs.push_back(std::log10(device.event.width));
        lLogs.push_back(std::log10(device.event.length));
    }
    if (panel.drawn > kMapSingleDeviceLimit) {
        const double steps = panel.stepsPerDecade;
        for (const auto& [key, group] : panel.groups) {
            wLogs.push_back((static_cast<double>(std::get<1>(key)) + 0.5) / steps);
            lLogs.push_back((static_cast<double>(std::get<2>(key)) + 0.5) / steps);
        }
    }
    layout.plot = Plot{Axis::Around(wLogs), Axis::Around(lLogs), top + 38};
    return layout;
}

namespace {

// The panel's title and counts above the plot.
void AppendPanelHead(std::string& out, Polarity polarity, std::string_view key, std::uint64_t total,
                     std::uint64_t kept, double top) {
    AppendText(out, "head", kPlotLeft, top + 12,
               std::string(polarity == Polarity::N ? "N" : "P") + "-channel table, Key " + std::string(key));
    std::string counts = Plural(total, "device", "devices");
    if (kept > 0) {
        counts += ", " + std::to_string(kept) + (kept == 1 ? " keeps its" : " keep their") + " placeholder";
    }
    AppendText(out, "note", kPlotLeft, top + 28, counts);
}

} // namespace

// The frame, the grid lines with their tick labels, and the axes' names.
void BinMap::drawAxes(std::string& out, const Plot& plot) {
    const double plotBottom = plot.top + kPlotHeight;
    out += "<rect class=\"frame\"";
    AppendAttributes(out, {{"x", kPlotLeft}, {"y", plot.top}, {"width", kPlotWidth}, {"height", kPlotHeight}});
    out += "/>\n";
    for (const double tick : plot.w.ticks()) {
        const double x = plot.x(tick);
        out += "<line class=\"grid\"";
        AppendAttributes(out, {{"x1", x}, {"y1", plot.top}, {"x2", x}, {"y2", plotBottom}});
        out += "/>\n";
        AppendText(out, "tick", x, plotBottom + 15, EngineeringLabel(tick), " text-anchor=\"middle\"");
    }
    for (const double tick : plot.l.ticks()) {
        const double y = plot.y(tick);
        out += "<line class=\"grid\"";
        AppendAttributes(out, {{"x1", kPlotLeft}, {"y1", y}, {"x2", kPlotLeft + kPlotWidth}, {"y2", y}});
        out += "/>\n";
        AppendText(out, "tick", kPlotLeft - 6, y + 4, EngineeringLabel(tick), " text-anchor=\"end\"");
    }
    AppendText(out, "tick", kPlotLeft + kPlotWidth / 2, plotBottom + 32, "W (width)", " text-anchor=\"middle\"");
    std::string turn = " text-anchor=\"middle\" transform=\"translate(28 ";
    AppendNumber(turn, plot.top + kPlotHeight / 2);
    turn += ") rotate(-90)\"";
    AppendText(out, "tick", 0, 0, "L (length)", turn);
}

// The bins with their part names (a used bin filled), then the cards' outlines over them.
void BinMap::drawBins(std::string& out, const Panel& panel, const BinTable& table, const Layout& layout) {
    const Plot& plot = layout.plot;
    for (const Layout::Cell& cell : layout.cells) {
        const auto wi = static_cast<std::size_t>(cell.w);
        const auto li = static_cast<std::size_t>(cell.l);
        const std::string_view name = PartName(table, cell.w, cell.l);
        const char* cls = name.empty() ? "noname" : panel.cells[wi][li] > 0 ? "bin used" : "bin";
        AppendRect(out, cls, plot.x(table.widthBounds[wi]), plot.y(table.lengthBounds[li]),
                   plot.x(table.widthBounds[wi + 1]), plot.y(table.lengthBounds[li + 1]));
        out += "/>\n";
        // The name sits in the cell's upper left corner, where devices are seldom drawn.
        if (!name.empty()) {
            AppendText(out, "name", plot.x(table.widthBounds[wi]) + 4, plot.y(table.lengthBounds[li + 1]) + 13,
                       name);
        }
    }
    for (const MapCard* card : layout.cards) {
        AppendRect(out, "card", plot.x(card->wmin), plot.y(card->lmin), plot.x(card->wmax), plot.y(card->lmax));
        out += "><title>";
        AppendXmlText(out, card->name + ": L " + EngineeringLabel(card->lmin) + " to " + EngineeringLabel(card->lmax) +
                               ", W " + EngineeringLabel(card->wmin) + " to " + EngineeringLabel(card->wmax));
        out += "</title></rect>\n";
    }
}

// Every device its own mark, those that keep their Key last, on top of the others; in a crowded
// panel, a mark per place.
void BinMap::drawDevices(std::string& out, const Panel& panel, const Plot& plot) const {
    if (panel.drawn > kMapSingleDeviceLimit) {
        drawPlaces(out, panel, plot);
        return;
    }
    for (const bool kept : {false, true}) {
        for (const Stored& device : panel.singles) {
            if (IsKept(device.event) == kept) {
                AppendMarkStart(out, kept, plot.x(device.event.width), plot.y(device.event.length), kMarkRadius);
                AppendTitled(out, describe(device), kept);
            }
        }
    }
}

// The devices without a drawable size, listed below the plot from y on; the y below the list.
double BinMap::listUnsized(std::string& out, const Panel& panel, double y) const {
    if (panel.unsizedCount == 0) {
        return y;
    }
    AppendText(out, "note", kPlotLeft, y,
               Plural(panel.unsizedCount, "device has", "devices have") + " no readable positive L= and W= and " +
                   (panel.unsizedCount == 1 ? "is" : "are") + " not drawn:");
    for (const Stored& device : panel.unsized) {
        y += 15;
        AppendText(out, "note", kPlotLeft + 12, y, describe(device));
    }
    if (panel.unsizedCount > panel.unsized.size()) {
        y += 15;
        AppendText(out, "note", kPlotLeft + 12, y,
                   "and " + std::to_string(panel.unsizedCount - panel.unsized.size()) + " more");
    }
    return y + 15;
}

void BinMap::drawPanel(std::string& out, const Panel& panel, std::size_t family, Polarity polarity,
                       double top, double& bottom) const {
    const RewriteRules& rules = m_families[family];
    const BinTable& table = polarity == Polarity::N ? rules.tableN : rules.tableP;
    const Layout drawn = layout(panel, table, family, polarity, top);
    AppendPanelHead(out, polarity, polarity == Polarity::N ? rules.keyN : rules.keyP, panel.total, panel.kept, top);
    drawAxes(out, drawn.plot);
    drawBins(out, panel, table, drawn);
    drawDevices(out, panel, drawn.plot);
    bottom = listUnsized(out, panel, drawn.plot.top + kPlotHeight + 56);
}

// The legend below the title, from y on: what each mark and outline means. The y below it.
double BinMap::drawLegend(std::string& body, double y) const {
    const bool crowded = std::any_of(m_panels.begin(), m_panels.end(),
                                     [](const Panel& panel) { return panel.drawn > kMapSingleDeviceLimit; });
    struct Entry {
        std::string_view mark;
        std::string_view text;
    };
    std::vector<Entry> legend{{"ok", "device that gets its part name"},
                              {"kept", "device that keeps its placeholder"},
                              {"bin used", "bin with devices"},
                              {"bin", "bin that no device uses"},
                              {"noname", "cell without a part name"}};
    if (!m_cards.empty()) {
        legend.push_back({"card", "model-library card"});
    }
    if (crowded) {
        legend.push_back({"many", "larger mark: more devices there"});
    }
    for (std::size_t i = 0; i < legend.size(); ++i) {
        const double x = 20 + static_cast<double>(i % 3) * 245;
        const double row = y + static_cast<double>(i / 3) * 20;
        const std::string_view mark = legend[i].mark;
        if (mark == "ok" || mark == "kept" || mark == "many") {
            const bool kept = mark == "kept";
            AppendMarkStart(body, kept, x + 9, row, mark == "many" ? 7 : kMarkRadius);
            body += kept ? "</path>\n" : "</circle>\n";
        } else {
            body += "<rect class=\"";
            body += mark;
            body += '"';
            AppendAttributes(body, {{"x", x}, {"y", row - 7}, {"width", 18}, {"height", 14}});
            body += "/>\n";
        }
        AppendText(body, "note", x + 26, row + 4, legend[i].text);
    }
    return y + static_cast<double>((legend.size() + 2) / 3) * 20;
}

std::string BinMap::svg() const {
    std::string body;
    double y = 20;
    std::string source = "Bin map of ";
    for (std::size_t i = 0; i < m_files.size() && i < 3; ++i) {
        source += (i > 0 ? ", " : "") + m_files[i];
    }
    if (m_files.size() > 3) {
        source += " and " + std::to_string(m_files.size() - 3) + " more netlists";
    }
    if (m_files.empty()) {
        source = "Bin map";
    }
    AppendText(body, "head", 20, y + 4, source);
    y = drawLegend(body, y + 22);

    if (deviceCount() == 0) {
        AppendText(body, "note", 20, y + 20, "No device line holds a Key.");
        y += 40;
    }
    for (std::size_t family = 0; family < m_families.size(); ++family) {
        for (const Polarity polarity : {Polarity::N, Polarity::P}) {
            const Panel& panel = m_panels[panelIndex(family, polarity)];
            if (panel.total > 0) {
                drawPanel(body, panel, family, polarity, y, y);
            }
        }
    }

    std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<svg xmlns=\"http://www.w3.org/2000/svg\"";
    AppendAttributes(out, {{"width", kPageWidth}, {"height", y}});
    out += " viewBox=\"0 0 ";
    AppendNumber(out, kPageWidth);
    out += ' ';
    AppendNumber(out, y);
    out += "\" font-family=\"sans-serif\" font-size=\"12\">\n";
    out += kStyle;
    out += "<rect width=\"100%\" height=\"100%\" fill=\"#fff\"/>\n";
    out += body;
    out += "</svg>\n";
    return out;
}

Result<void> WriteBinMap(const std::filesystem::path& path, std::string_view svg) {
    ReplaceOptions options;
    options.modeFrom = path;
    const ReplaceOutcome written = WriteFileReplacing(path, svg, options);
    if (written.stopped != ReplaceStep::Done) {
        return Fail("Error: Cannot write the bin map " + QuotedPath(path) + ": " + ErrorText(written.error) +
                    ".");
    }
    return {};
}

} // namespace tarvex
