// Paints the banner into a bitmap of Image1's size that the image shows.
#include "app/win32/Banner.h"

#include <utility>

#include "app/BannerShade.h"
#include "resources/Layouts.h"
#include "resources/Texts.h"
#include "ui/win32/WindowText.h"

namespace {

struct MemoryDcTraits {
    using Type = HDC;
    static Type Invalid() { return nullptr; }
    static void Close(Type dc) { DeleteDC(dc); }
};
using OwnedMemoryDc = Owned<MemoryDcTraits>;

// Character cell height: a positive height asks for the cell, not the glyphs.
constexpr int kBannerFontHeight = 16;
constexpr int kBannerTextX = 10;

void Paint(HDC dc) {
    for (int row = 0; row < kBannerHeight; ++row) {
        RECT line = {0, row, kBannerWidth, row + 1};
        // An opaque empty text fills with the background colour without a
        // brush per row.
        SetBkColor(dc, RGB(0, 0, BannerBlue(row, kBannerHeight)));
        ExtTextOutA(dc, 0, 0, ETO_OPAQUE, &line, "", 0, nullptr);
    }
    // The face is named rather than left to the system's default so that the
    // Japanese lines show on a system of any language.
    OwnedGdi font(CreateProgramFont(kBannerFontHeight));
    SelectScope useFont(dc, font.Get());
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(255, 255, 255));
    for (const texts::BannerLine& line : texts::kBannerLines) {
        DrawShownTextAt(dc, kBannerTextX, line.y, line.text);
    }
}

}  // namespace

void DrawBanner(MainWindow& form) {
    OwnedGdi bitmap;
    OwnedMemoryDc dc;
    {
        WindowDc screen(nullptr);
        bitmap = OwnedGdi(CreateCompatibleBitmap(screen.Get(), kBannerWidth, kBannerHeight));
        dc = OwnedMemoryDc(CreateCompatibleDC(screen.Get()));
    }
    if (!bitmap.Valid() || !dc.Valid()) return;  // no banner beats no window
    {
        SelectScope useBitmap(dc.Get(), bitmap.Get());
        Paint(dc.Get());
    }
    auto previous = reinterpret_cast<HGDIOBJ>(
        SendMessageA(form.image1, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(bitmap.Get())));
    // Some control versions show a copy of the bitmap and hand that copy back.
    if (previous && previous != form.banner.Get()) DeleteObject(previous);
    form.banner = std::move(bitmap);  // the picture shown before is freed only now
}
