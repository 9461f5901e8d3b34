// SPDX-License-Identifier: MIT
// The geometry bin table of one transistor polarity, its lookup and its validation.
#pragma once

#include "text/result.h"

#include <array>
#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace tarvex {

inline constexpr int kBinCount = 5;
inline constexpr int kBoundCount = kBinCount + 1;
inline constexpr std::size_t kNameCellSize = 21;
inline constexpr std::size_t kMaxPartNameLength = 19;
inline constexpr std::size_t kBinTableSize = 624;

using Bounds = std::array<double, kBoundCount>;

// One polarity's bin edges and part names. The layout is the one stored in settings files, so
// the struct mirrors it byte for byte; bytes after a name's NUL and the filler are kept as read.
struct BinTable {
    Bounds widthBounds{};
    Bounds lengthBounds{};
    char partNames[kBinCount][kBinCount][kNameCellSize]{}; // [width bin][length bin]
    unsigned char filler[3]{};
};

static_assert(sizeof(BinTable) == kBinTableSize);
static_assert(offsetof(BinTable, widthBounds) == 0);
static_assert(offsetof(BinTable, lengthBounds) == 48);
static_assert(offsetof(BinTable, partNames) == 96);
static_assert(offsetof(BinTable, filler) == 621);

// Serialises the record little-endian into exactly kBinTableSize bytes, whatever the host order.
void WriteBinTable(const BinTable& table, std::span<unsigned char, kBinTableSize> out);

// Reads a record written by WriteBinTable (or by any tool using the same layout).
BinTable ReadBinTable(std::span<const unsigned char, kBinTableSize> in);

// The part name of a cell: its bytes up to the first NUL, or the whole 21-byte cell if it holds none.
std::string_view PartName(const BinTable& table, int widthBin, int lengthBin);

// Stores at most kMaxPartNameLength bytes of name and a terminating NUL; the bytes after it are left
// as they were, so writing back the name a cell already holds changes no byte.
void SetPartName(BinTable& table, int widthBin, int lengthBin, std::string_view name);

// True when a and b differ by at most 1e-9 of the larger magnitude. "180n" and "0.18u" parse to
// neighbouring doubles; bounds and sizes that close are the same number to a designer.
bool NearlyEqual(double a, double b);

// Returns the first bin whose closed interval [bounds[i], bounds[i+1]] holds x, so a value on an
// inner bound belongs to the lower bin. Zero bounds compare like any other number, except that a bin
// whose two bounds are both 0 (the unused end of an axis) holds nothing; no bin → empty.
std::optional<int> FindBin(const Bounds& bounds, double x);

// FindBin for many lookups on the same bounds. The numbers nearly equal to a bound form one
// interval around it, so each bound is replaced once by the ends of that interval: "bound <= x or
// nearly equal" becomes "low end <= x", and a lookup is twelve plain comparisons.
class BinFinder {
public:
    explicit BinFinder(const Bounds& bounds);

    // The same bin as FindBin(bounds, x).
    std::optional<int> find(double x) const {
        const int bin = index(x);
        return bin < 0 ? std::nullopt : std::optional<int>(bin);
    }

    // The bin as a plain number, -1 for none: returned in a register, where an optional comes back
    // through memory and stalls the caller's next read of it.
    int index(double x) const;

private:
    alignas(16) double m_low[kBoundCount] = {};  // the lowest number at or near each bound
    alignas(16) double m_high[kBoundCount] = {}; // the highest
    unsigned m_bins = 0;                         // bit i: bin i can hold a size
};

enum class BoundAxis { Width, Length };

// The first faulty pair of a table's bounds: its axis, the index of its lower bound and that
// bound's value.
struct BoundFault {
    BoundAxis axis = BoundAxis::Width;
    std::size_t index = 0;
    double value = 0;
};

// The first pair of bounds that is not part of a strictly increasing run of non-zero bounds
// followed only by zeros, width bounds before length bounds; nothing for a valid table.
std::optional<BoundFault> FindBoundFault(const BinTable& table);

// "Bad w value %g!" or "Bad l value %g!" with the pair's lower bound.
std::string BoundFaultMessage(const BoundFault& fault);

// Where the fault is, for the user who must find the field: "MODxyP table, width bound 3"
// (bounds counted from 1, as the fields are read left to right and top to bottom).
std::string BoundFaultPlace(const BoundFault& fault, std::string_view tableName);

// Checks that each axis is a strictly increasing run of non-zero bounds followed only by zeros.
// Fails with the message for the first faulty pair ("Bad w value %g!" before "Bad l value %g!",
// naming the pair's lower bound).
Result<void> ValidateBounds(const BinTable& table);

} // namespace tarvex
