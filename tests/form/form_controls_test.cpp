// SPDX-License-Identifier: MIT
// The control list that both windows build from, held to what a form needs rather than copied:
// every control inside the form, no two overlapping, each table's fields inside its group's frame
// and the buttons outside both, every id once, and the tab stops ahead of frames and labels.
#include "form/form_layout.h"

#include <gtest/gtest.h>

#include <set>

namespace tarvex::form {
namespace {

bool Inside(const DuRect& inner, const DuRect& outer) {
    return inner.x >= outer.x && inner.y >= outer.y && inner.x + inner.width <= outer.x + outer.width &&
           inner.y + inner.height <= outer.y + outer.height;
}

bool Overlap(const DuRect& a, const DuRect& b) {
    return a.x < b.x + b.width && b.x < a.x + a.width && a.y < b.y + b.height && b.y < a.y + a.height;
}

// The group whose ids the control carries, or none (the buttons).
const GroupLayout* GroupOf(int id) {
    for (const GroupLayout* group : kGroups) {
        std::set<int> ids(group->widthBoundIds.begin(), group->widthBoundIds.end());
        ids.insert(group->lengthBoundIds.begin(), group->lengthBoundIds.end());
        for (const auto& column : group->nameIds) {
            ids.insert(column.begin(), column.end());
        }
        ids.insert(group->keyId);
        if (ids.contains(id)) {
            return group;
        }
    }
    return nullptr;
}

TEST(FormControls, EveryControlHasItsOwnPlaceInsideItsGroup) {
    std::set<int> ids;
    for (std::size_t i = 0; i < kControls.size(); ++i) {
        const Control& control = kControls[i];
        SCOPED_TRACE(control.id);
        EXPECT_GT(control.rect.width, 0);
        EXPECT_GT(control.rect.height, 0);
        EXPECT_TRUE(Inside(control.rect, kFormSize));
        if (i >= kTabStopCount) {
            // Behind the tab stops: the frames and their Key labels, which carry no id.
            EXPECT_EQ(control.id, kNoControlId);
            EXPECT_TRUE(control.kind == ControlKind::GroupBox || control.kind == ControlKind::Label);
            continue;
        }
        EXPECT_TRUE(ids.insert(control.id).second) << "id used twice";
        EXPECT_EQ(control.id, kTabOrder[i]);
        for (std::size_t j = 0; j < i; ++j) {
            EXPECT_FALSE(Overlap(control.rect, kControls[j].rect)) << "overlaps " << kControls[j].id;
        }
        const GroupLayout* group = GroupOf(control.id);
        for (const GroupLayout* frame : kGroups) {
            EXPECT_EQ(Inside(control.rect, frame->box), frame == group);
        }
        if (group == nullptr) {
            EXPECT_TRUE(control.kind == ControlKind::Button || control.kind == ControlKind::DefaultButton);
        }
    }
    // Both groups' fields, the six buttons; Exit alone is the default button.
    EXPECT_EQ(ids.size(), 2u * (2 * kBoundCount + kBinCount * kBinCount + 1) + kButtons.size());
    for (const ButtonLayout& button : kButtons) {
        EXPECT_TRUE(ids.contains(button.id)) << button.text;
    }
    EXPECT_EQ(kControls[0].id, kGroupN.widthBoundIds[0]); // the first tab stop has the focus at start
}

// Each name field lies in its cell of the grid drawn behind the group, whose lines run through
// the middle of the bound fields: width bounds for the columns, length bounds for the rows.
// (Coordinates doubled, so that the middles are whole.)
TEST(FormControls, NameFieldsSitInTheCellsOfTheirBounds) {
    for (const GroupLayout* group : kGroups) {
        for (std::size_t w = 0; w < std::size_t{kBinCount}; ++w) {
            for (std::size_t l = 0; l < std::size_t{kBinCount}; ++l) {
                SCOPED_TRACE(group->nameId(static_cast<int>(w), static_cast<int>(l)));
                const int left = 2 * group->nameColumnX[w];
                const int top = 2 * group->nameRowY[l];
                EXPECT_GT(left, 2 * kWidthBoundX[w] + kWidthBoundWidth);
                EXPECT_LT(left + 2 * kNameWidth, 2 * kWidthBoundX[w + 1] + kWidthBoundWidth);
                EXPECT_GT(top, 2 * group->lengthBoundY[l] + kBoundHeight);
                EXPECT_LT(top + 2 * kNameHeight, 2 * group->lengthBoundY[l + 1] + kBoundHeight);
            }
        }
    }
}

} // namespace
} // namespace tarvex::form
