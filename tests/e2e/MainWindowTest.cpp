// The main window as the user meets it: single copy, place, size, buttons and banner.
#include <vector>

#include "driver/Updater.h"
#include "resources/Names.h"
#include "resources/Texts.h"

namespace {

using check::Expect;
using check::ExpectEq;
using check::Require;
using drv::FromCp932;

constexpr int kOuterWidth = 534;
constexpr int kOuterHeight = 272;
constexpr int kBannerLeft = 8;
constexpr int kBannerTop = 8;
constexpr int kBannerWidth = 512;
constexpr int kBannerHeight = 185;
constexpr int kLineHeight = 17;  // a 16-pixel cell, and one row of slack

struct ButtonPlace {
    const char* caption;
    int x, y, width, height;
};
constexpr ButtonPlace kButtons[] = {
    {texts::kStartUpdate, 8, 200, 113, 33},
    {texts::kQuit, 432, 200, 83, 33},
    {texts::kChangeDestination, 296, 200, 113, 33},
};

std::string Num(long v) {
    return std::to_string(v);
}

bool InTextBand(int row) {
    for (const texts::BannerLine& line : texts::kBannerLines) {
        if (row >= line.y && row < line.y + kLineHeight) return true;
    }
    return false;
}

// The main window alone, without the locate dialog: the record points at a
// fresh game folder.
void StartAlone(const std::string& folder, upd::Running& app) {
    Require(drv::SetRecordString(upd::MakeGameFolder(folder) + "\\"), "cannot set the record");
    Require(upd::StartUpdater("Setup", app), "the main window never appeared");
}

void CaptionSizeAndPlace() {
    upd::Running app;
    StartAlone("place", app);
    RECT r = drv::WindowRect(app.main);
    SIZE screen = drv::ScreenSize();
    check::Note("screen " + Num(screen.cx) + " x " + Num(screen.cy) + ", window at " + Num(r.left) + ", " +
                Num(r.top));
    // The caption is checked as it starts.
    ExpectEq(r.right - r.left, long{kOuterWidth}, "outer width");
    ExpectEq(r.bottom - r.top, long{kOuterHeight}, "outer height");
    upd::ExpectCentred(app.main, "the main window");
    LONG style = GetWindowLongA(app.main, GWL_STYLE);
    Expect((style & WS_THICKFRAME) && (style & WS_MINIMIZEBOX) && (style & WS_MAXIMIZEBOX) && (style & WS_SYSMENU),
           "a sizeable frame with the standard title-bar buttons");
    // The face around the banner and the buttons is the system's button face.
    drv::Settle(app.main);
    RECT client = drv::ClientRectOnScreen(app.main);
    RECT strip = {client.left, client.top + 196, client.right, client.top + 199};
    drv::Image face = drv::Capture(strip);
    COLORREF want = GetSysColor(COLOR_BTNFACE);
    uint32_t rgb = (GetRValue(want) << 16) | (GetGValue(want) << 8) | GetBValue(want);
    int off = 0;
    for (uint32_t p : face.pixels) off += p != rgb;
    ExpectEq(off, 0, "pixels between the banner and the buttons not in the button-face colour");
    upd::Snap(app.main, upd::ShotName("main-window"));
    ExpectEq(upd::Quit(app), 0L, "exit code after the quit button");
}

void ButtonsInTabOrder() {
    upd::Running app;
    StartAlone("buttons", app);
    RECT client = drv::ClientRectOnScreen(app.main);
    std::vector<HWND> tabOrder;
    for (const ButtonPlace& b : kButtons) {
        const std::string caption = FromCp932(b.caption);
        HWND button = upd::MainButton(app, b.caption);
        if (!Expect(button != nullptr, "no button " + caption)) continue;
        RECT r = drv::WindowRect(button);
        ExpectEq(r.left - client.left, long{b.x}, caption + " left");
        ExpectEq(r.top - client.top, long{b.y}, caption + " top");
        ExpectEq(r.right - r.left, long{b.width}, caption + " width");
        ExpectEq(r.bottom - r.top, long{b.height}, caption + " height");
        Expect(IsWindowVisible(button) && IsWindowEnabled(button), caption + " visible and enabled");
        tabOrder.push_back(button);
    }
    // Tab walks the children in z order: each tab stop follows the one before.
    if (tabOrder.size() == 3) {
        HWND prev = tabOrder[0];
        for (size_t i = 1; i < tabOrder.size(); ++i) {
            HWND next = prev;
            do {
                next = GetWindow(next, GW_HWNDNEXT);
            } while (next && !(GetWindowLongA(next, GWL_STYLE) & WS_TABSTOP));
            Expect(next == tabOrder[i], "tab goes from " + drv::TextOf(prev) + " to " + drv::TextOf(tabOrder[i]));
            prev = tabOrder[i];
        }
    }
    ExpectEq(upd::Quit(app), 0L, "exit code after the quit button");
}

void BannerShadeAndText() {
    upd::Running app;
    StartAlone("banner", app);
    drv::Settle(app.main);
    RECT client = drv::ClientRectOnScreen(app.main);
    RECT area = {client.left + kBannerLeft, client.top + kBannerTop, client.left + kBannerLeft + kBannerWidth,
                 client.top + kBannerTop + kBannerHeight};
    drv::Image image = drv::Capture(area);
    Require(image.width == kBannerWidth && image.height == kBannerHeight, "capture failed");
    int wrongRows = 0;
    int strayRows = 0;
    std::string firstWrong;
    for (int row = 0; row < kBannerHeight; ++row) {
        const uint32_t shade = static_cast<uint32_t>(((kBannerHeight - row) * 255) / kBannerHeight);
        int plain = 0;
        for (int x = 0; x < kBannerWidth; ++x) plain += image.At(x, row) == shade;
        bool text = InTextBand(row);
        // Text covers a small share of a row; the rest is the shade.
        if (plain < kBannerWidth / 3 || (!text && plain != kBannerWidth)) {
            if (text) ++wrongRows; else ++strayRows;
            if (firstWrong.empty()) {
                char seen[64];
                snprintf(seen, sizeof seen, "row %d: %d of %d pixels blue %u, pixel 0 is %06x", row, plain,
                         kBannerWidth, shade, image.At(0, row));
                firstWrong = seen;
            }
        }
    }
    Expect(wrongRows == 0 && strayRows == 0, "rows not shaded as they should be: " + Num(wrongRows) +
                                                 " in text lines, " + Num(strayRows) + " between them; first: " +
                                                 firstWrong);
    for (const texts::BannerLine& line : texts::kBannerLines) {
        int white = 0;
        int leftmost = kBannerWidth;
        for (int row = line.y; row < line.y + kLineHeight && row < kBannerHeight; ++row) {
            for (int x = 0; x < kBannerWidth; ++x) {
                if (image.At(x, row) == 0xFFFFFF) {
                    ++white;
                    if (x < leftmost) leftmost = x;
                }
            }
        }
        Expect(white > 40, "line at y " + Num(line.y) + " has " + Num(white) + " white pixels");
        Expect(leftmost >= 10 && leftmost <= 14,
               "line at y " + Num(line.y) + " starts at x " + Num(leftmost) + ", not at 10");
    }
    if (!upd::Env("E2E_SHOTS").empty()) drv::SaveBmp(image, upd::Env("E2E_SHOTS") + "\\banner.bmp");
    ExpectEq(upd::Quit(app), 0L, "exit code after the quit button");
}

void SecondCopyExitsAtOnce() {
    upd::Running first;
    StartAlone("second", first);
    RECT before = drv::WindowRect(first.main);
    drv::Process second = drv::Start(upd::UpdaterPath("Setup"));
    Require(second.Started(), "the second copy did not start");
    int windowsSeen = 0;
    drv::WaitUntil(
        [&] {
            windowsSeen += static_cast<int>(drv::TopWindows(second.Id(), false).size());
            return !second.Running();
        });
    ExpectEq(second.WaitExit(0), 1L, "exit code of the second copy");
    ExpectEq(windowsSeen, 0, "windows the second copy made");
    Expect(first.process.Running(), "the first copy still runs");
    RECT after = drv::WindowRect(first.main);
    Expect(IsWindowVisible(first.main) && EqualRect(&before, &after), "the first window stays as it was");
    ExpectEq(first.Windows().size(), size_t{1}, "windows of the first copy");
    ExpectEq(upd::Quit(first), 0L, "exit code of the first copy after the quit button");

    // The guard is released at the end: the next start is a first copy again.
    upd::Running third;
    Expect(upd::StartUpdater("Setup", third), "a copy started after the first ended shows its window");
    ExpectEq(upd::Quit(third), 0L, "exit code of that copy");
}

void CloseBoxLeavesTheGameAlone() {
    upd::Running app;
    StartAlone("closebox", app);
    drv::Close(app.main);
    ExpectEq(app.process.WaitExit(), 0L, "exit code");
    std::string now, old;
    drv::ReadWholeFile(upd::Env("E2E_WORK") + "\\closebox\\" + names::kTargetFile, now);
    drv::ReadWholeFile(upd::OldGame(), old);
    Expect(now == old, "kestravon.exe is still the old build");
}

}  // namespace

int main(int argc, char** argv) {
    return check::Run(argc, argv, {
        {"main window: caption, outer size 534 x 272, centred on the screen", CaptionSizeAndPlace},
        {"main window: the three buttons at their places, in tab order", ButtonsInTabOrder},
        {"banner: rows blue 255 down to 1, white text only where the six lines are", BannerShadeAndText},
        {"second copy: exits 1 at once and shows nothing; the first is unaffected", SecondCopyExitsAtOnce},
        {"close box ends the program with 0 and leaves the game alone", CloseBoxLeavesTheGameAlone},
    });
}
