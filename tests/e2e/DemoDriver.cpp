// Clicks once through an update the way a user would, telling what it sees:
//   DemoDriver SETUP.EXE SHOTS_FOLDER
// Saves main-window.bmp and update-done.bmp in SHOTS_FOLDER. Exit 0 when the
// update completed and the program ended with 0.
#include <stdio.h>

#include <string>

#include "driver/Updater.h"
#include "resources/Layouts.h"
#include "resources/Texts.h"

namespace {

void Say(const std::string& text) {
    printf("demo: %s\n", text.c_str());
    fflush(stdout);
}

void Snap(HWND window, const std::string& path) {
    drv::Settle(window);
    if (drv::SaveBmp(drv::Capture(drv::WindowRect(window)), path)) Say("screenshot " + path);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        fprintf(stderr, "usage: DemoDriver SETUP.EXE SHOTS_FOLDER\n");
        return 2;
    }
    const std::string setup = argv[1];
    const std::string shots = argv[2];

    // The decoder's progress dots go to a file, counted at the end.
    const std::string dots = shots + "\\decoder-stderr.txt";
    upd::Running app;
    app.process = drv::Start(setup, "", dots);
    if (!app.process.Started()) {
        Say("cannot start " + setup);
        return 1;
    }
    HWND main = app.WaitWindow(kMainWindow.className);
    if (!main) {
        Say("the main window did not appear");
        return 1;
    }
    RECT r = drv::WindowRect(main);
    Say("main window \"" + drv::TextOf(main) + "\" at " + std::to_string(r.left) + "," + std::to_string(r.top) +
        ", " + std::to_string(r.right - r.left) + " x " + std::to_string(r.bottom - r.top));
    Snap(main, shots + "\\main-window.bmp");

    HWND start = drv::FindChild(main, "Button", drv::FromCp932(texts::kStartUpdate));
    if (!start) {
        Say("no start button");
        return 1;
    }
    Say("pressing [" + drv::FromCp932(texts::kStartUpdate) + "]");
    drv::Click(start);

    drv::Box box;
    app.main = main;
    if (!upd::WaitBox(app, box, 30000)) {
        Say("no box after the start button");
        return 1;
    }
    Say("box \"" + box.caption + "\": " + box.text);
    Snap(box.window, shots + "\\update-done.bmp");
    drv::PressBoxButton(box, drv::FromCp932(texts::kButtonOk));
    Say("pressed [OK]");

    long code = app.process.WaitExit();
    Say("Setup.exe ended with exit code " + std::to_string(code));
    std::string progress;
    drv::ReadWholeFile(dots, progress);
    Say("decoder progress on its standard error: \"" + progress + "\"");
    DeleteFileA(dots.c_str());
    bool done = box.caption == drv::FromCp932(texts::kInfoCaption) && box.text == drv::FromCp932(texts::kUpdateDone) &&
                code == 0;
    return done ? 0 : 1;
}
