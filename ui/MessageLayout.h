// Where the parts of a message box go, from the measured size of its text.
#pragma once

struct Bounds {
    int x, y, width, height;
};

constexpr int kMaxMessageButtons = 3;

struct MessageLayout {
    int clientWidth, clientHeight;
    Bounds icon;
    Bounds text;
    Bounds buttons[kMaxMessageButtons];
    int buttonCount;
};

// textWidth/textHeight: the text as drawn, already wrapped; captionWidth: the
// widest button caption. Buttons share one width and sit centred in a row
// under the text; a short text sits centred beside the icon.
MessageLayout LayOutMessage(int textWidth, int textHeight, int captionWidth, int buttonCount);
