// Where a window goes to sit in the middle of the screen.
#pragma once

// Both sizes are outer sizes. A window larger than the screen gets a negative
// origin, and the division truncates toward zero: (-3) / 2 is -1, not -2.
constexpr int CentredOrigin(int screenSize, int windowSize) {
    return (screenSize - windowSize) / 2;
}
