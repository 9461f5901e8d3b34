// SPDX-License-Identifier: MIT
// The main form's controls: their numeric ids (each control's objectName) and their positions in
// dialog units, in one table that the dialog builds from and the tests read back.
#pragma once

#include <array>
#include <string_view>

namespace tarvex::ui {

// A rectangle in dialog units: x and y from the dialog's client origin.
struct DuRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

inline constexpr DuRect kFormSize{0, 0, 341, 322};

struct ButtonLayout {
    int id;
    std::string_view text;
    DuRect rect;
};

// The button column, in tab order among themselves; Exit is the dialog's default (OK) button.
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

// One table group ("MODxyN" or "MODxyP"): where its parts sit and which ids its fields carry.
// Name fields are indexed [length bin][width bin]: rows are length bins, columns width bins.
struct GroupLayout {
    std::string_view caption;
    DuRect box;
    DuRect picture;
    int widthBoundY;
    std::array<int, 6> lengthBoundY;
    std::array<int, 5> nameRowY;
    std::array<int, 5> nameColumnX;
    int keyLabelY;
    int keyFieldY;
    std::array<int, 6> widthBoundIds;
    std::array<int, 6> lengthBoundIds;
    std::array<std::array<int, 5>, 5> nameIds;
    int keyId;
};

inline constexpr std::array<int, 6> kWidthBoundX{48, 86, 124, 162, 200, 238};
inline constexpr int kWidthBoundWidth = 37;
inline constexpr int kBoundHeight = 14;
inline constexpr int kLengthBoundX = 16;
inline constexpr int kLengthBoundWidth = 40;
inline constexpr int kNameWidth = 29;
inline constexpr int kNameHeight = 13;
inline constexpr DuRect kKeyLabel{16, 0, 13, 8};
inline constexpr DuRect kKeyField{34, 0, 92, 14};

inline constexpr GroupLayout kGroupN{
    "MODxyN",
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
        {1068, 1071, 1072, 1073, 1074},
        {1075, 1076, 1077, 1078, 1079},
        {1080, 1081, 1082, 1083, 1085},
        {1086, 1087, 1088, 1089, 1090},
        {1091, 1092, 1093, 1094, 1095},
    }},
    1028,
};

inline constexpr GroupLayout kGroupP{
    "MODxyP",
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
        {1108, 1109, 1110, 1111, 1112},
        {1113, 1114, 1115, 1116, 1117},
        {1118, 1119, 1120, 1121, 1122},
        {1123, 1124, 1125, 1126, 1127},
        {1128, 1129, 1130, 1131, 1132},
    }},
    1029,
};

} // namespace tarvex::ui
