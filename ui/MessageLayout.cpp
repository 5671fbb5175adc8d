// Message box geometry in pixels.
#include "ui/MessageLayout.h"

namespace {

constexpr int kMargin = 12;
constexpr int kIconSize = 32;
constexpr int kIconGap = 12;
constexpr int kButtonGap = 6;
constexpr int kTextToButtons = 16;
constexpr int kButtonHeight = 23;
constexpr int kMinButtonWidth = 75;
constexpr int kCaptionPadding = 24;

constexpr int Max(int a, int b) { return a > b ? a : b; }

}  // namespace

MessageLayout LayOutMessage(int textWidth, int textHeight, int captionWidth, int buttonCount) {
    if (buttonCount < 1) buttonCount = 1;
    if (buttonCount > kMaxMessageButtons) buttonCount = kMaxMessageButtons;
    textWidth = Max(textWidth, 0);
    textHeight = Max(textHeight, 0);

    MessageLayout layout = {};
    int bodyHeight = Max(kIconSize, textHeight);
    layout.icon = {kMargin, kMargin + (bodyHeight - kIconSize) / 2, kIconSize, kIconSize};
    layout.text = {kMargin + kIconSize + kIconGap, kMargin + (bodyHeight - textHeight) / 2,
                   textWidth, textHeight};

    int buttonWidth = Max(kMinButtonWidth, captionWidth + kCaptionPadding);
    int rowWidth = buttonCount * buttonWidth + (buttonCount - 1) * kButtonGap;
    layout.clientWidth = Max(layout.text.x + textWidth + kMargin, rowWidth + 2 * kMargin);

    int buttonY = kMargin + bodyHeight + kTextToButtons;
    int x = (layout.clientWidth - rowWidth) / 2;
    for (int i = 0; i < buttonCount; ++i) {
        layout.buttons[i] = {x, buttonY, buttonWidth, kButtonHeight};
        x += buttonWidth + kButtonGap;
    }
    layout.buttonCount = buttonCount;
    layout.clientHeight = buttonY + kButtonHeight + kMargin;
    return layout;
}
