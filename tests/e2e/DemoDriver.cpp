// Clicks once through an update the way a user would, telling what it sees:
// the updater E2E_UPDATERS\Setup.exe against the game its record names.
// Saves main-window.bmp and update-done.bmp in E2E_SHOTS. Passes when the
// update completed and the program ended with 0.
#include <string>

#include "driver/Updater.h"
#include "resources/Layouts.h"
#include "resources/Texts.h"

namespace {

void Snap(HWND window, const std::string& name) {
    drv::Settle(window);
    if (upd::Snap(window, name)) check::Note("screenshot " + name + ".bmp");
}

void ClickThroughUpdate() {
    upd::Running app;
    check::Require(upd::StartUpdater("Setup", app), "the main window did not appear");
    RECT r = drv::WindowRect(app.main);
    check::Note("main window \"" + drv::TextOf(app.main) + "\" at " + std::to_string(r.left) + "," +
                std::to_string(r.top) + ", " + std::to_string(r.right - r.left) + " x " +
                std::to_string(r.bottom - r.top));
    Snap(app.main, "main-window");

    check::Note("pressing [" + drv::FromCp932(texts::kStartUpdate) + "]");
    drv::Box box;
    check::Require(upd::StartUpdate(app, box), "no box after the start button");
    check::Note("box \"" + box.caption + "\": " + box.text);
    Snap(box.window, "update-done");
    upd::ExpectBoxAndPress(box, drv::FromCp932(texts::kInfoCaption), drv::FromCp932(texts::kUpdateDone));

    check::ExpectEq(app.WaitExit(), 0L, "Setup.exe's exit code");
    std::string progress;
    drv::ReadWholeFile(upd::Env("E2E_WORK") + "\\Setup.stderr.txt", progress);
    check::Note("decoder progress on its standard error: \"" + progress + "\"");
}

}  // namespace

int main(int argc, char** argv) {
    return check::Run(argc, argv, {{"demo: an update clicked through", ClickThroughUpdate}}) == 0 ? 0 : 1;
}
