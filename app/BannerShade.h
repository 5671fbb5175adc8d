// The banner's background: blue fading downward, never quite to black.
#pragma once

// Row 0 is full blue (255); the last row of `height` rows is blue 1.
constexpr int BannerBlue(int row, int height) {
    return ((height - row) * 255) / height;
}
