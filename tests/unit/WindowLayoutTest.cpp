// The window tables: ids, tab order and placement that the window code trusts.
#include <gtest/gtest.h>

#include <set>

#include "app/BannerShade.h"
#include "resources/Layouts.h"
#include "ui/Centring.h"

namespace {

const WindowLayout* const kWindows[] = {&kMainWindow, &kLocateWindow};

}  // namespace

TEST(WindowLayout, ControlIdsAreUniqueAndClearOfOkAndCancel) {
    std::set<int> ids = {kIdMessageText, kIdMessageIcon, kIdMessageButtonFirst};
    size_t expected = ids.size();
    for (const WindowLayout* w : kWindows) {
        for (int i = 0; i < w->controlCount; ++i) {
            int id = w->controls[i].id;
            EXPECT_GT(id, 2) << w->className;
            ids.insert(id);
            ++expected;
        }
    }
    EXPECT_EQ(ids.size(), expected);
}

// Tab follows creation order, so the tables must list focusable controls in
// tab order, numbered from 0 without gaps; only buttons take the focus.
TEST(WindowLayout, TabOrderFollowsCreationOrder) {
    for (const WindowLayout* w : kWindows) {
        int next = 0;
        for (int i = 0; i < w->controlCount; ++i) {
            const ControlLayout& c = w->controls[i];
            if (c.kind == ControlKind::Button) {
                EXPECT_EQ(c.tab, next++) << w->className << " control " << i;
                EXPECT_NE(c.caption, nullptr);
            } else {
                EXPECT_EQ(c.tab, -1) << w->className << " control " << i;
            }
        }
        EXPECT_GT(next, 0) << w->className;
    }
}

TEST(WindowLayout, ControlsStartInsideTheirWindow) {
    for (const WindowLayout* w : kWindows) {
        for (int i = 0; i < w->controlCount; ++i) {
            const ControlLayout& c = w->controls[i];
            EXPECT_GE(c.x, 0);
            EXPECT_GE(c.y, 0);
            EXPECT_LT(c.x, w->width) << w->className << " control " << i;
            EXPECT_LE(c.y + c.height, w->height) << w->className << " control " << i;
            // Buttons must show whole; labels may run into the edge.
            if (c.kind != ControlKind::Label) {
                EXPECT_LE(c.x + c.width, w->width) << w->className << " control " << i;
            }
        }
    }
}

TEST(Centring, NegativeOriginRoundsTowardZero) {
    EXPECT_EQ(CentredOrigin(1024, 534), 245);
    EXPECT_EQ(CentredOrigin(768, 272), 248);
    EXPECT_EQ(CentredOrigin(100, 103), -1);  // -3 / 2
    EXPECT_EQ(CentredOrigin(0, 5), -2);      // -5 / 2
    EXPECT_EQ(CentredOrigin(0, 1), 0);
}

TEST(BannerShade, FadesFromFullBlueAndNeverReachesBlack) {
    EXPECT_EQ(BannerBlue(0, kBannerHeight), 255);
    EXPECT_EQ(BannerBlue(kBannerHeight - 1, kBannerHeight), 1);
    for (int row = 1; row < kBannerHeight; ++row) {
        EXPECT_LE(BannerBlue(row, kBannerHeight), BannerBlue(row - 1, kBannerHeight)) << row;
        EXPECT_GE(BannerBlue(row, kBannerHeight), 1) << row;
    }
}

// The picker runs on the dialog manager: Enter sends IDOK (1) to the default
// button and Esc IDCANCEL (2); Tab follows creation order; a label's access
// key moves the focus to the control made right after it.
TEST(WindowLayout, PickerKeysReachTheirControls) {
    const WindowLayout& w = kPickerWindow;
    int next = 0;
    int defaults = 0;
    for (int i = 0; i < w.controlCount; ++i) {
        const ControlLayout& c = w.controls[i];
        if (c.tab >= 0) {
            EXPECT_EQ(c.tab, next++) << "control " << i;
        }
        if (c.kind == ControlKind::KeyLabel) {
            ASSERT_LT(i + 1, w.controlCount);
            EXPECT_NE(w.controls[i + 1].kind, ControlKind::KeyLabel) << "control " << i;
        }
        if (c.kind == ControlKind::DefaultButton) {
            ++defaults;
            EXPECT_EQ(c.id, 1);
        }
        EXPECT_LE(c.x + c.width, w.width) << "control " << i;
    }
    EXPECT_EQ(defaults, 1);
    bool cancel = false;
    for (int i = 0; i < w.controlCount; ++i) cancel = cancel || (w.controls[i].id == 2 && w.controls[i].tab >= 0);
    EXPECT_TRUE(cancel);
}
