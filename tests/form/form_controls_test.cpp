// SPDX-License-Identifier: MIT
// The control list that both windows and their tests build from: rectangles, kinds and texts of
// controls from every part of the form, and every id once.
#include "form/form_layout.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <tuple>

namespace tarvex::form {
namespace {

TEST(FormControls, PositionsKindsAndTexts) {
    const struct {
        int id;
        ControlKind kind;
        DuRect rect;
        std::string_view text;
    } cases[] = {
        {1, ControlKind::DefaultButton, {284, 7, 50, 14}, "Exit"},
        {1027, ControlKind::Button, {284, 87, 50, 14}, "Clear"},
        {1067, ControlKind::Field, {238, 17, 37, 14}, ""},     // N width bound 5
        {1055, ControlKind::Field, {16, 118, 40, 14}, ""},     // N length bound 5
        {1085, ControlKind::NameField, {222, 77, 29, 13}, ""}, // N length bin 2, width bin 4
        {1128, ControlKind::NameField, {70, 259, 29, 13}, ""}, // P length bin 4, width bin 0
        {1132, ControlKind::NameField, {223, 259, 29, 13}, ""},
        {1029, ControlKind::Field, {34, 283, 92, 14}, ""},
    };
    for (const auto& c : cases) {
        const auto* control = std::find_if(kControls.begin(), kControls.end(),
                                           [&](const Control& candidate) { return candidate.id == c.id; });
        ASSERT_NE(control, kControls.end()) << c.id;
        EXPECT_EQ(control->kind, c.kind) << c.id;
        EXPECT_EQ(std::tie(control->rect.x, control->rect.y, control->rect.width, control->rect.height),
                  std::tie(c.rect.x, c.rect.y, c.rect.width, c.rect.height))
            << c.id;
        EXPECT_EQ(control->text, c.text) << c.id;
    }
    // Frames and labels last, behind the tab stops: N frame, N label, P frame, P label.
    EXPECT_EQ(kControls[kTabStopCount].text, "MODxyN");
    EXPECT_EQ(kControls[kTabStopCount].rect.y, 7);
    EXPECT_EQ(kControls[kTabStopCount + 1].kind, ControlKind::Label);
    EXPECT_EQ(kControls[kTabStopCount + 3].rect.y, 286);
    std::set<int> ids;
    for (std::size_t i = 0; i < kTabStopCount; ++i) {
        EXPECT_TRUE(ids.insert(kControls[i].id).second) << kControls[i].id;
    }
    EXPECT_EQ(ids.size(), 2u * (12 + 25 + 1) + 6);
}

} // namespace
} // namespace tarvex::form
