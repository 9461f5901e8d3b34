// SPDX-License-Identifier: MIT
// Rewriting of one netlist line: the placeholder model (the Key) of a MOSFET is replaced by the
// part name of the bin that the device's "L=" and "W=" fall into.
#pragma once

#include "bins/bin_table.h"
#include "rewrite/rules.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tarvex {

// A line holds at most one event per polarity: N first, then P.
struct LineRewrite {
    std::optional<DeviceEvent> n;
    std::optional<DeviceEvent> p;
};

// Rewrites one line (its line end included, if any) and appends the result to out. L and W come from
// the first "L=" and first "W=" of the line as read and serve both polarities; the first occurrence
// of KeyN is replaced, then the first occurrence of KeyP in the line as it stands after that. A line
// holding neither Key is appended unchanged. Any byte value, NUL included, passes through.
LineRewrite RewriteLine(std::string_view line, const RewriteRules& rules, std::string& out);

// RewriteLine for several families of Keys, each with its own tables (several settings files in one
// pass). L and W are read once, from the first "L=" and the first "W=" of the line as read, and
// serve every Key. Then for each family in order, its N Key and then its P Key: the first
// occurrence of that Key in the line as it stands after the replacements before it is replaced by
// the part name of its table's bin, or kept with the same outcomes as for one family. So a part name
// inserted by one Key is searched by every later Key, of its own family or of the next ones. With one
// family this is the rewrite above, byte for byte. Keys that are equal or hold one another across
// families give a well-defined result by the same rule, though callers refuse them. Returns the
// devices in that order (family, then N before P), each with its family's index.
std::vector<DeviceEvent> RewriteLine(std::string_view line, std::span<const RewriteRules> families,
                                     std::string& out);

// The devices of one line, for callers that rewrite many lines: kept from one line to the next,
// it is filled in place, without building and copying a LineRewrite for each.
struct LineDevices {
    int count = 0;
    DeviceEvent events[2]; // N first, then P
};

// The rules made ready for a run of many lines: the bin lookups and part-name lengths of both
// tables, and which N part names share a byte with the P Key (only those can form a P Key where
// they are inserted).
struct PreparedRules {
    explicit PreparedRules(const RewriteRules& rules);

    struct Table {
        explicit Table(const BinTable& table);
        BinFinder width;
        BinFinder length;
        std::uint8_t nameLength[kBinCount][kBinCount] = {};
    };
    Table n;
    Table p;
    bool nameMayFormKeyP[kBinCount][kBinCount] = {};
};

// RewriteLine for callers that have already searched the line: posN and posP are the offsets of
// the first occurrence of each Key in line, or npos when it holds none; prepared, when given, is
// made from rules.
void RewriteLineAt(std::string_view line, std::size_t posN, std::size_t posP, const RewriteRules& rules,
                   const PreparedRules* prepared, std::string& out, LineDevices& devices);

// RewriteLine of several families for callers that rewrite many lines: prepared, when not empty,
// holds one PreparedRules per family, and events is filled in place (its memory kept from line to
// line).
void RewriteLineForFamilies(std::string_view line, std::span<const RewriteRules> families,
                            std::span<const PreparedRules> prepared, std::string& out,
                            std::vector<DeviceEvent>& events);

// The part name that replaces the line's only Key (of polarity) when that is all the rewrite
// changes in the line: nothing when the general rewrite must look at it (the Key stays, or an N part
// name might form a P Key with the bytes around it). The fast path of a run of many lines.
std::optional<std::string_view> OnlyKeyReplacement(std::string_view line, Polarity polarity,
                                                   const RewriteRules& rules, const PreparedRules& prepared);

// Replaces the first occurrence of pattern in line by replacement; false when there is none.
bool ReplaceFirst(std::string& line, std::string_view pattern, std::string_view replacement);

// The message shown to the user for a device that kept its Key, or nothing for a replaced one:
// "Error: MODxyN device has no readable L=!" (or "W=", or "L= or W=") when its line lacks a size,
// else "Error: Missing MODxyN part name!" or "Error: No MODxyN bin for L=%g W=%g!" (MODxyP for P).
// The texts name the default Keys whatever the Keys and the family are.
std::optional<std::string> ProblemMessage(const DeviceEvent& event);

// What kept a device's Key, in a few words for reports and lists: the size its line lacks ("no L=",
// "no W=" or "no L= or W=", for "L={p}" or a continuation line), else "no bin" or "missing part
// name"; empty for a replaced Key.
std::string_view ProblemLabel(const DeviceEvent& event);

} // namespace tarvex
