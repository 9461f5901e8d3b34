// SPDX-License-Identifier: MIT
#include "bins/bin_table.h"

#include "bins/engineering_value.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <tuple>
#include <utility>

namespace tarvex {
namespace {

constexpr std::size_t kNamesOffset = 96;
constexpr std::size_t kFillerOffset = 621;

void WriteDouble(double value, unsigned char* out) {
    const auto bits = std::bit_cast<std::uint64_t>(value);
    for (int i = 0; i < 8; ++i) {
        out[i] = static_cast<unsigned char>(bits >> (8 * i));
    }
}

double ReadDouble(const unsigned char* in) {
    std::uint64_t bits = 0;
    for (int i = 0; i < 8; ++i) {
        bits |= std::uint64_t{in[i]} << (8 * i);
    }
    return std::bit_cast<double>(bits);
}

// NearlyEqual with both sides of each test worked out first, so that it needs no branch. Only
// finite numbers can be near one another: an infinite bound lies beyond every finite one (the
// tolerance of an infinite magnitude would be infinite). A difference that is infinite or NaN (a
// NaN or an infinity on either side) is never near; two finite numbers whose difference overflows
// are far apart anyway.
bool Near(double a, double b) {
    const double difference = std::fabs(a - b);
    const bool close = difference <= 1e-9 * std::max(std::fabs(a), std::fabs(b));
    const bool finite = difference < std::numeric_limits<double>::infinity();
    return a == b || (close && finite);
}

// Two doubles, and the result of comparing them: a lane of all ones where it holds.
using Doubles = double __attribute__((vector_size(16)));
using Lanes = std::int64_t __attribute__((vector_size(16)));

// Bit i set when lane i holds (SSE2 has an instruction for it).
unsigned LaneBits(Lanes lanes) {
#if defined(__SSE2__)
    return static_cast<unsigned>(__builtin_ia32_movmskpd(reinterpret_cast<Doubles>(lanes)));
#else
    return static_cast<unsigned>((lanes[0] & 1) | (lanes[1] & 2));
#endif
}

// A pair of neighbouring bounds is faulty when it does not rise (unless the run of bounds ends
// there with a 0) or when a 0 is followed by a positive bound.
// Bit i set when bin i is the unused end of an axis, both of its bounds 0: such a bin holds no size,
// not even the 0 that a missing or unreadable size would read as.
unsigned ZeroBins(const Bounds& bounds) {
    unsigned bins = 0;
    for (std::size_t i = 0; i + 1 < bounds.size(); ++i) {
        bins |= static_cast<unsigned>(bounds[i] == 0.0 && bounds[i + 1] == 0.0) << i;
    }
    return bins;
}

bool IsFaultyPair(double lower, double upper) {
    const bool rises = lower < upper && !NearlyEqual(lower, upper);
    return (!rises && upper != 0.0) || (lower == 0.0 && upper > 0.0);
}

// The index of the first faulty pair's lower bound, if any.
std::optional<std::size_t> FirstFaultyPair(const Bounds& bounds) {
    for (std::size_t i = 0; i + 1 < bounds.size(); ++i) {
        if (IsFaultyPair(bounds[i], bounds[i + 1])) {
            return i;
        }
    }
    return std::nullopt;
}

} // namespace

void WriteBinTable(const BinTable& table, std::span<unsigned char, kBinTableSize> out) {
    for (std::size_t i = 0; i < table.widthBounds.size(); ++i) {
        WriteDouble(table.widthBounds[i], out.data() + 8 * i);
        WriteDouble(table.lengthBounds[i], out.data() + 48 + 8 * i);
    }
    std::memcpy(out.data() + kNamesOffset, table.partNames, sizeof table.partNames);
    std::memcpy(out.data() + kFillerOffset, table.filler, sizeof table.filler);
}

BinTable ReadBinTable(std::span<const unsigned char, kBinTableSize> in) {
    BinTable table;
    for (std::size_t i = 0; i < table.widthBounds.size(); ++i) {
        table.widthBounds[i] = ReadDouble(in.data() + 8 * i);
        table.lengthBounds[i] = ReadDouble(in.data() + 48 + 8 * i);
    }
    std::memcpy(table.partNames, in.data() + kNamesOffset, sizeof table.partNames);
    std::memcpy(table.filler, in.data() + kFillerOffset, sizeof table.filler);
    return table;
}

std::string_view PartName(const BinTable& table, int widthBin, int lengthBin) {
    const char* cell = table.partNames[widthBin][lengthBin];
    return {cell, static_cast<std::size_t>(std::find(cell, cell + kNameCellSize, '\0') - cell)};
}

void SetPartName(BinTable& table, int widthBin, int lengthBin, std::string_view name) {
    char* cell = table.partNames[widthBin][lengthBin];
    name = name.substr(0, std::min(kMaxPartNameLength, name.find('\0')));
    std::memcpy(cell, name.data(), name.size());
    cell[name.size()] = '\0';
}

bool NearlyEqual(double a, double b) {
    return Near(a, b);
}

std::optional<int> FindBin(const Bounds& bounds, double x) {
    // Every comparison is made, two bounds at a time, and the lowest matching bin taken, without a
    // branch per bin: the sizes of a netlist fall into bins in no order a branch predictor could
    // learn. Each lane does what Near does.
    constexpr Lanes kMagnitude = {0x7FFFFFFFFFFFFFFF, 0x7FFFFFFFFFFFFFFF};
    const auto magnitude = [&](Doubles v) {
        return reinterpret_cast<Doubles>(reinterpret_cast<Lanes>(v) & kMagnitude);
    };
    const Doubles xs = {x, x};
    const Doubles infinity = {std::numeric_limits<double>::infinity(),
                              std::numeric_limits<double>::infinity()};
    unsigned below = 0; // bit i: bounds[i] <= x (or nearly equal)
    unsigned above = 0; // bit i: x <= bounds[i] (or nearly equal)
    for (int i = 0; i < kBoundCount; i += 2) {
        const Doubles bound = {bounds[static_cast<std::size_t>(i)], bounds[static_cast<std::size_t>(i + 1)]};
        const Doubles difference = magnitude(bound - xs);
        const Lanes boundIsLarger = magnitude(bound) > magnitude(xs);
        const Doubles larger =
            reinterpret_cast<Doubles>((reinterpret_cast<Lanes>(magnitude(bound)) & boundIsLarger) |
                                      (reinterpret_cast<Lanes>(magnitude(xs)) & ~boundIsLarger));
        const Lanes near = (bound == xs) | ((difference <= 1e-9 * larger) & (difference < infinity));
        const Lanes low = (bound <= xs) | near;
        const Lanes high = (xs <= bound) | near;
        below |= LaneBits(low) << i;
        above |= LaneBits(high) << i;
    }
    const unsigned bins = below & (above >> 1) & ((1u << kBinCount) - 1) & ~ZeroBins(bounds);
    if (bins == 0) {
        return std::nullopt;
    }
    return std::countr_zero(bins);
}

namespace {

// The lowest and the highest number nearly equal to bound. Near(bound, x) holds on one interval of
// x around the bound (the distance grows a whole step for each step of x, the tolerance only a
// billionth of one), so its ends are found by walking the doubles next to the bound, whose bit
// patterns count up with their value when positive. A NaN is near nothing; an infinity and zero
// are near themselves only.
std::pair<double, double> NearInterval(double bound) {
    constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
    if (std::isnan(bound)) {
        return {kNaN, kNaN};
    }
    if (std::isinf(bound) || bound == 0.0) {
        return {bound, bound};
    }
    if (bound < 0.0) {
        const auto [low, high] = NearInterval(-bound);
        return {-high, -low};
    }
    const auto bits = std::bit_cast<std::int64_t>(bound);
    // The last step (in doubles, upwards for +1, downwards for -1) that is still near the bound. The
    // end lies about a billionth of the bound away, within a step or two of the guess: walk from
    // there down while a step is not near, then up while the next one is.
    const auto lastNear = [&](std::int64_t direction) {
        const auto nearAt = [&](std::int64_t steps) {
            const std::int64_t at = bits + direction * steps;
            return at >= 0 && Near(bound, std::bit_cast<double>(at));
        };
        const double guess = bound * (1.0 + static_cast<double>(direction) * 1e-9);
        std::int64_t near =
            std::max<std::int64_t>(0, direction * (std::bit_cast<std::int64_t>(guess) - bits));
        while (near > 0 && !nearAt(near)) {
            --near;
        }
        while (nearAt(near + 1)) {
            ++near;
        }
        return std::bit_cast<double>(bits + direction * near);
    };
    return {lastNear(-1), lastNear(1)};
}

} // namespace

BinFinder::BinFinder(const Bounds& bounds) : m_bins(((1u << kBinCount) - 1) & ~ZeroBins(bounds)) {
    for (std::size_t i = 0; i < bounds.size(); ++i) {
        std::tie(m_low[i], m_high[i]) = NearInterval(bounds[i]);
    }
}

int BinFinder::index(double x) const {
    // A NaN end compares false with everything, as a NaN bound does in FindBin.
    const Doubles xs = {x, x};
    unsigned below = 0; // bit i: bounds[i] <= x (or nearly equal)
    unsigned above = 0; // bit i: x <= bounds[i] (or nearly equal)
    for (int i = 0; i < kBoundCount; i += 2) {
        Doubles low;
        Doubles high;
        std::memcpy(&low, m_low + i, sizeof low);
        std::memcpy(&high, m_high + i, sizeof high);
        below |= LaneBits(low <= xs) << i;
        above |= LaneBits(xs <= high) << i;
    }
    const unsigned bins = below & (above >> 1) & m_bins;
    return bins == 0 ? -1 : std::countr_zero(bins);
}

std::optional<BoundFault> FindBoundFault(const BinTable& table) {
    if (const auto width = FirstFaultyPair(table.widthBounds)) {
        return BoundFault{BoundAxis::Width, *width, table.widthBounds[*width]};
    }
    if (const auto length = FirstFaultyPair(table.lengthBounds)) {
        return BoundFault{BoundAxis::Length, *length, table.lengthBounds[*length]};
    }
    return std::nullopt;
}

std::string BoundFaultMessage(const BoundFault& fault) {
    return std::string(fault.axis == BoundAxis::Width ? "Bad w value " : "Bad l value ") +
           FormatG(fault.value) + "!";
}

std::string BoundFaultPlace(const BoundFault& fault, std::string_view tableName) {
    return std::string(tableName) + " table, " + (fault.axis == BoundAxis::Width ? "width" : "length") +
           " bound " + std::to_string(fault.index + 1);
}

Result<void> ValidateBounds(const BinTable& table) {
    if (const auto fault = FindBoundFault(table)) {
        return Fail(BoundFaultMessage(*fault));
    }
    return {};
}

} // namespace tarvex
