// SPDX-License-Identifier: MIT
// The main form's controls: their numeric ids, their positions in dialog units and the tab order,
// in one table that every front-end builds its window from and the tests read back.
#pragma once

#include "bins/bin_table.h"
#include "netlist/line_rewriter.h"

#include <array>
#include <cstddef>
#include <string_view>

namespace tarvex::form {

// A rectangle in dialog units: x and y from the dialog's client origin.
struct DuRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

inline constexpr std::string_view kFormCaption = "Tarvex";
inline constexpr DuRect kFormSize{0, 0, 341, 322};

struct ButtonLayout {
    int id;
    std::string_view text;
    DuRect rect;
};

// The button column, top to bottom; Exit is the dialog's default (OK) button.
inline constexpr int kExitId = 1;
inline constexpr int kHelpId = 57670;
inline constexpr int kLoadId = 1024;
inline constexpr int kSaveId = 1025;
inline constexpr int kProcessId = 1026;
inline constexpr int kClearId = 1027;
inline constexpr std::array<ButtonLayout, 6> kButtons{{
    {kExitId, "Exit", {284, 7, 50, 14}},
    {kHelpId, "&Help", {284, 23, 50, 14}},
    {kLoadId, "Load", {284, 39, 50, 14}},
    {kSaveId, "Save", {284, 55, 50, 14}},
    {kProcessId, "Process", {284, 71, 50, 14}},
    {kClearId, "Clear", {284, 87, 50, 14}},
}};

// One table group: where its parts sit and which ids its fields carry. Name fields are indexed
// [width bin][length bin], as BinTable::partNames is; on screen, rows are length bins and columns
// width bins.
struct GroupLayout {
    std::string_view caption;
    DuRect box;
    DuRect picture;
    int widthBoundY;
    std::array<int, kBoundCount> lengthBoundY;
    std::array<int, kBinCount> nameRowY;    // by length bin
    std::array<int, kBinCount> nameColumnX; // by width bin
    int keyLabelY;
    int keyFieldY;
    std::array<int, kBoundCount> widthBoundIds;
    std::array<int, kBoundCount> lengthBoundIds;
    std::array<std::array<int, kBinCount>, kBinCount> nameIds; // [width bin][length bin]

    constexpr int nameId(int widthBin, int lengthBin) const {
        return nameIds[static_cast<std::size_t>(widthBin)][static_cast<std::size_t>(lengthBin)];
    }
    int keyId;
};

inline constexpr std::array<int, kBoundCount> kWidthBoundX{48, 86, 124, 162, 200, 238};
inline constexpr int kWidthBoundWidth = 37;
inline constexpr int kBoundHeight = 14;
inline constexpr int kLengthBoundX = 16;
inline constexpr int kLengthBoundWidth = 40;
inline constexpr int kNameWidth = 29;
inline constexpr int kNameHeight = 13;
inline constexpr std::string_view kKeyLabelText = "Key";
inline constexpr DuRect kKeyLabel{16, 0, 13, 8};
inline constexpr DuRect kKeyField{34, 0, 92, 14};

// Each group is captioned with its polarity's default Key.
inline constexpr GroupLayout kGroupN{
    kDefaultKeyN,
    {6, 7, 276, 146},
    {28, 25, 243, 106},
    17,
    {35, 51, 67, 84, 101, 118},
    {44, 60, 77, 93, 110},
    {70, 109, 147, 185, 222},
    137,
    134,
    {1060, 1063, 1064, 1065, 1066, 1067},
    {1023, 1056, 1057, 1058, 1059, 1055},
    {{
        {1068, 1075, 1080, 1086, 1091},
        {1071, 1076, 1081, 1087, 1092},
        {1072, 1077, 1082, 1088, 1093},
        {1073, 1078, 1083, 1089, 1094},
        {1074, 1079, 1085, 1090, 1095},
    }},
    1028,
};

inline constexpr GroupLayout kGroupP{
    kDefaultKeyP,
    {6, 155, 276, 146},
    {28, 174, 243, 106},
    166,
    {184, 200, 216, 233, 249, 267},
    {193, 209, 225, 242, 259},
    {70, 109, 147, 185, 223},
    286,
    283,
    {1096, 1097, 1098, 1099, 1100, 1101},
    {1102, 1103, 1104, 1105, 1106, 1107},
    {{
        {1108, 1113, 1118, 1123, 1128},
        {1109, 1114, 1119, 1124, 1129},
        {1110, 1115, 1120, 1125, 1130},
        {1111, 1116, 1121, 1126, 1131},
        {1112, 1117, 1122, 1127, 1132},
    }},
    1029,
};

inline constexpr std::array<const GroupLayout*, 2> kGroups{&kGroupN, &kGroupP};

// Every control that takes the focus, in tab order: per group the six width bounds, the six
// length bounds and the 25 names row by row (a row is a length bin); Exit, Help and Load between
// the groups; Save, Process and Clear after them; both Keys last. The first one has the focus at
// start.
inline constexpr std::size_t kTabStopCount =
    2 * (2 * kBoundCount + kBinCount * kBinCount) + kButtons.size() + 2;

constexpr std::array<int, kTabStopCount> MakeTabOrder() {
    std::array<int, kTabStopCount> order{};
    std::size_t next = 0;
    const auto addGroup = [&](const GroupLayout& group) {
        for (const int id : group.widthBoundIds) {
            order[next++] = id;
        }
        for (const int id : group.lengthBoundIds) {
            order[next++] = id;
        }
        for (int l = 0; l < kBinCount; ++l) {
            for (int w = 0; w < kBinCount; ++w) {
                order[next++] = group.nameId(w, l);
            }
        }
    };
    addGroup(kGroupN);
    for (std::size_t i = 0; i < 3; ++i) {
        order[next++] = kButtons[i].id;
    }
    addGroup(kGroupP);
    for (std::size_t i = 3; i < kButtons.size(); ++i) {
        order[next++] = kButtons[i].id;
    }
    order[next++] = kGroupN.keyId;
    order[next++] = kGroupP.keyId;
    return order;
}

inline constexpr std::array<int, kTabStopCount> kTabOrder = MakeTabOrder();

} // namespace tarvex::form
