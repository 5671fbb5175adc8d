// Message box geometry: nothing overlaps, nothing sticks out, buttons centred.
#include <gtest/gtest.h>

#include "ui/MessageLayout.h"

namespace {

bool Inside(const Bounds& b, const MessageLayout& m) {
    return b.x >= 0 && b.y >= 0 && b.x + b.width <= m.clientWidth && b.y + b.height <= m.clientHeight;
}

bool Overlap(const Bounds& a, const Bounds& b) {
    return a.x < b.x + b.width && b.x < a.x + a.width && a.y < b.y + b.height && b.y < a.y + a.height;
}

}  // namespace

TEST(LayOutMessage, PartsStayInsideAndApartForShortLongAndTallTexts) {
    struct Case {
        int textWidth, textHeight, captionWidth, buttons;
    } cases[] = {
        {10, 12, 20, 1},    // tiny text: the buttons decide the width
        {600, 12, 20, 1},   // a long path on one line
        {200, 120, 20, 2},  // many lines: taller than the icon
        {50, 12, 200, 3},   // wide captions
        {0, 0, 0, 1},
    };
    for (const Case& c : cases) {
        MessageLayout m = LayOutMessage(c.textWidth, c.textHeight, c.captionWidth, c.buttons);
        SCOPED_TRACE(testing::Message() << c.textWidth << "x" << c.textHeight << " " << c.buttons);
        ASSERT_EQ(m.buttonCount, c.buttons);
        EXPECT_TRUE(Inside(m.icon, m));
        EXPECT_TRUE(Inside(m.text, m));
        EXPECT_EQ(m.text.width, c.textWidth);
        EXPECT_EQ(m.text.height, c.textHeight);
        EXPECT_FALSE(Overlap(m.icon, m.text));
        for (int i = 0; i < m.buttonCount; ++i) {
            const Bounds& b = m.buttons[i];
            EXPECT_TRUE(Inside(b, m)) << i;
            EXPECT_GE(b.width, c.captionWidth) << i;
            EXPECT_GE(b.y, m.text.y + m.text.height) << i;
            EXPECT_GE(b.y, m.icon.y + m.icon.height) << i;
            if (i > 0) {
                EXPECT_FALSE(Overlap(m.buttons[i - 1], b)) << i;
            }
        }
        const Bounds& last = m.buttons[m.buttonCount - 1];
        int left = m.buttons[0].x;
        int right = m.clientWidth - (last.x + last.width);
        EXPECT_LE(left - right, 1);
        EXPECT_GE(left - right, -1);
    }
}

TEST(LayOutMessage, OneLineTextSitsLevelWithTheIconsMiddle) {
    MessageLayout m = LayOutMessage(100, 12, 20, 1);
    EXPECT_EQ(m.text.y + m.text.height / 2, m.icon.y + m.icon.height / 2);
}

TEST(LayOutMessage, ButtonCountIsKeptWithinItsRoom) {
    EXPECT_EQ(LayOutMessage(10, 10, 10, 0).buttonCount, 1);
    EXPECT_EQ(LayOutMessage(10, 10, 10, kMaxMessageButtons + 5).buttonCount, kMaxMessageButtons);
}
