// SPDX-License-Identifier: MIT
// The main form's controls: their numeric ids, their positions in dialog units and the tab order,
// in one table that every front-end builds its window from and the tests read back.
#pragma once

#include "bins/bin_table.h"
#include "rewrite/rules.h"

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

// How a control is made and what it does: the default button is Exit; a name field shows the end
// of its name and follows the hints of its cell; frames and labels take no focus.
enum class ControlKind { DefaultButton, Button, Field, NameField, GroupBox, Label };

// One control of the form. Frames and labels carry kNoControlId.
struct Control {
    int id = 0;
    ControlKind kind = ControlKind::Field;
    DuRect rect;
    std::string_view text;
};

inline constexpr int kNoControlId = -1;

// Every control that takes the focus, in tab order: per group the six width bounds, the six
// length bounds and the 25 names row by row (a row is a length bin); Exit, Help and Load between
// the groups; Save, Process and Clear after them; both Keys last. The first one has the focus at
// start. The group frames and Key labels follow, behind them: N frame, N label, P frame, P label.
inline constexpr std::size_t kTabStopCount =
    2 * (2 * kBoundCount + kBinCount * kBinCount) + kButtons.size() + 2;
inline constexpr std::size_t kControlCount = kTabStopCount + 2 * kGroups.size();

constexpr std::array<Control, kControlCount> MakeControls() {
    std::array<Control, kControlCount> controls{};
    std::size_t next = 0;
    const auto add = [&](int id, ControlKind kind, DuRect rect, std::string_view text = {}) {
        controls[next++] = {id, kind, rect, text};
    };
    const auto addButtons = [&](std::size_t from, std::size_t to) {
        for (std::size_t i = from; i < to; ++i) {
            const ButtonLayout& b = kButtons[i];
            add(b.id, b.id == kExitId ? ControlKind::DefaultButton : ControlKind::Button, b.rect, b.text);
        }
    };
    const auto addGroup = [&](const GroupLayout& group) {
        for (std::size_t i = 0; i < std::size_t{kBoundCount}; ++i) {
            add(group.widthBoundIds[i], ControlKind::Field,
                {kWidthBoundX[i], group.widthBoundY, kWidthBoundWidth, kBoundHeight});
        }
        for (std::size_t i = 0; i < std::size_t{kBoundCount}; ++i) {
            add(group.lengthBoundIds[i], ControlKind::Field,
                {kLengthBoundX, group.lengthBoundY[i], kLengthBoundWidth, kBoundHeight});
        }
        for (std::size_t l = 0; l < std::size_t{kBinCount}; ++l) {
            for (std::size_t w = 0; w < std::size_t{kBinCount}; ++w) {
                add(group.nameId(static_cast<int>(w), static_cast<int>(l)), ControlKind::NameField,
                    {group.nameColumnX[w], group.nameRowY[l], kNameWidth, kNameHeight});
            }
        }
    };
    const auto keyField = [](const GroupLayout& group) {
        return DuRect{kKeyField.x, group.keyFieldY, kKeyField.width, kKeyField.height};
    };
    addGroup(kGroupN);
    addButtons(0, 3);
    addGroup(kGroupP);
    addButtons(3, kButtons.size());
    add(kGroupN.keyId, ControlKind::Field, keyField(kGroupN));
    add(kGroupP.keyId, ControlKind::Field, keyField(kGroupP));
    for (const GroupLayout* group : kGroups) {
        add(kNoControlId, ControlKind::GroupBox, group->box, group->caption);
        add(kNoControlId, ControlKind::Label,
            {kKeyLabel.x, group->keyLabelY, kKeyLabel.width, kKeyLabel.height}, kKeyLabelText);
    }
    return controls;
}

inline constexpr std::array<Control, kControlCount> kControls = MakeControls();

constexpr std::array<int, kTabStopCount> MakeTabOrder() {
    std::array<int, kTabStopCount> order{};
    for (std::size_t i = 0; i < kTabStopCount; ++i) {
        order[i] = kControls[i].id;
    }
    return order;
}

inline constexpr std::array<int, kTabStopCount> kTabOrder = MakeTabOrder();

// The picture behind each group: grey margins around the grid of cells, ruled through the middle
// of the bound fields (columns: width bounds, rows: length bounds). Red, green, blue.
struct Rgb {
    int red;
    int green;
    int blue;
};
inline constexpr Rgb kGridMargin{200, 200, 200};
inline constexpr Rgb kGridCell{160, 236, 240};
inline constexpr Rgb kGridRule{0, 0, 192};
// A name field whose cell the last run used: light enough to read the name on it.
inline constexpr Rgb kUsedCellTint{255, 238, 186};

} // namespace tarvex::form
