// What the install location record does at start-up: a bad value is shown
// and survived, an empty one opens the locate dialog, an expandable string counts.
#include <vector>

#include "driver/Updater.h"
#include "resources/Names.h"
#include "resources/Texts.h"

namespace {

std::string WithNul(const std::string& s) {
    return s + std::string(1, '\0');
}

struct BadType {
    const char* name;
    DWORD type;
    std::string bytes;
};

// Dismisses whatever the program still shows, so that the next case starts clean.
void CloseEverything(bed::Running& app) {
    for (int round = 0; round < 10 && app.process.Running(); ++round) {
        for (HWND w : drv::TopWindows(app.process.Id())) drv::Close(w);
        if (app.process.WaitExit(500) >= 0) return;
    }
}

// Reads a box once its buttons exist and its icon is on the screen: the icon
// is compared by its pixels, which the box paints a moment after it appears.
drv::Box ReadPaintedBox(HWND window, LPCSTR icon) {
    drv::WaitUntil([&] { return !drv::ReadBox(window).buttons.empty(); }, 2000);
    drv::Box box = drv::ReadBox(window);
    drv::WaitUntil([&] { return box.icon && drv::IconLikeness(box.icon, icon) > 0.97; }, 2000);
    return box;
}

}  // namespace

int main(int argc, char** argv) {
    check::Suite suite(argc, argv);

    const std::vector<BadType> badTypes = {
        {"record: GameDir as a DWORD is refused in an error box; the program keeps running", REG_DWORD,
         std::string("\x01\x00\x00\x00", 4)},
        {"record: GameDir as binary data is refused in an error box; the program keeps running", REG_BINARY,
         WithNul("C:\\")},
        {"record: GameDir as a multi-string is refused in an error box; the program keeps running", REG_MULTI_SZ,
         WithNul(WithNul("C:\\"))},
    };
    for (const BadType& bad : badTypes) {
        suite.Case(bad.name, [&] {
            suite.Require(drv::ClearRecord() && drv::SetRecordRaw(bad.type, bad.bytes), "cannot set the record");
            bed::Running app;
            app.process = drv::Start(bed::UpdaterPath("Setup"));
            suite.Require(app.process.Started(), "the updater did not start");
            HWND boxWindow = drv::WaitWindow(app.process.Id(), "Setup");
            suite.Require(boxWindow != nullptr, "no box captioned Setup appeared");
            drv::Box box = ReadPaintedBox(boxWindow, IDI_ERROR);
            bed::ExpectBoxAndPress(suite, box, "Setup",
                                   bed::ErrorText(texts::kValueWrongType, names::kRecordValue), IDI_ERROR);
            Sleep(500);
            suite.Expect(app.process.Running(), "the program keeps running after the box");
            suite.Expect(!drv::TopWindows(app.process.Id()).empty(), "the program still shows a window");
            CloseEverything(app);
        });
    }

    suite.Case("record: after a bad GameDir, the start button refuses the empty folder and writes nothing", [&] {
        std::string here = bed::Env("E2E_WORK") + "\\current";
        drv::FreshFolder(here);
        suite.Require(drv::ClearRecord() && drv::SetRecordDword(7), "cannot set the record");
        bed::Running app;
        app.process = drv::Start(bed::UpdaterPath("Setup"), here);
        suite.Require(app.process.Started(), "the updater did not start");
        const std::string wrongType = bed::ErrorText(texts::kValueWrongType, names::kRecordValue);
        // The start-up read fails; the first-show check finds no folder, offers
        // the locate dialog, and reads the record again when it closes.
        std::vector<HWND> seen;
        std::string order;
        for (int step = 0; step < 6; ++step) {
            drv::Box box;
            if (!drv::WaitBox(app.process.Id(), box, seen, 5000)) break;
            seen.push_back(box.window);
            order += (order.empty() ? "" : " / ") + box.caption;
            if (box.caption == texts::kMainCaption) {
                app.main = box.window;
                break;
            }
            if (box.caption == texts::kLocateCaption) {
                drv::Click(drv::FindChild(box.window, "Button", texts::kQuit));
            } else {
                suite.ExpectEq(box.text, wrongType, "error box text");
                drv::PressBoxButton(box, texts::kButtonOk);
            }
            drv::WaitGone(box.window);
        }
        suite.ExpectEq(order, std::string("Setup / ") + texts::kLocateCaption + " / Setup / " + texts::kMainCaption,
                       "windows in turn");
        suite.Require(app.main != nullptr, "the main window never appeared");
        drv::Box box;
        drv::Click(bed::MainButton(app, texts::kStartUpdate));
        suite.Require(bed::WaitBox(app, box), "no box after the start button");
        bed::ExpectBoxAndPress(suite, box, "Setup", bed::ErrorText(texts::kNoInstallFolder));
        suite.ExpectEq(bed::Listing(here), std::string(), "the current folder holds");
        suite.ExpectEq(bed::Quit(app), 0L, "exit code after 終了");
    });

    suite.Case("record: GameDir as an expandable string is read like a string", [&] {
        std::string folder = bed::MakeGameFolder("expand");
        suite.Require(drv::ClearRecord() && drv::SetRecordRaw(REG_EXPAND_SZ, WithNul(folder + "\\")),
                      "cannot set the record");
        bed::Running app;
        suite.Require(bed::StartUpdater("Setup", app), "the main window never appeared");
        suite.ExpectEq(drv::TopWindows(app.process.Id()).size(), size_t{1}, "windows shown (main only)");
        suite.ExpectEq(bed::Quit(app), 0L, "exit code after 終了");
    });

    // What counts is the text up to its first NUL or the data's end: some
    // installers store a string with the size of their whole buffer, others
    // without its closing NUL. The update lands in that folder and no other.
    struct Stored {
        const char* name;
        std::string tail;
    };
    const Stored storedForms[] = {
        {"record: GameDir padded with NULs past its end is read up to the first NUL", std::string(1024, '\0')},
        {"record: GameDir stored without its closing NUL is read whole", ""},
    };
    for (const Stored& stored : storedForms) {
        suite.Case(stored.name, [&] {
            std::string folder = bed::MakeGameFolder("stored");
            suite.Require(drv::ClearRecord() && drv::SetRecordRaw(REG_SZ, folder + "\\" + stored.tail),
                          "cannot set the record");
            bed::Running app;
            suite.Require(bed::StartUpdater("Setup", app), "the main window never appeared");
            suite.ExpectEq(drv::TopWindows(app.process.Id()).size(), size_t{1}, "windows shown (main only)");
            bed::ExpectUpdateInto(suite, app, "Setup", folder);
        });
    }

    // A record written by hand or by another tool may lack the closing "\\":
    // the file goes into the folder, not beside it as "<folder>kestravon.exe".
    suite.Case("record: GameDir without its closing \\ updates the file inside the folder", [&] {
        std::string folder = bed::MakeGameFolder("unclosed");
        std::string parent = folder.substr(0, folder.rfind('\\'));
        std::string beside = bed::Listing(parent);
        suite.Require(drv::ClearRecord() && drv::SetRecordString(folder), "cannot set the record");
        bed::Running app;
        suite.Require(bed::StartUpdater("Setup", app), "the main window never appeared");
        bed::ExpectUpdateInto(suite, app, "Setup", folder);
        suite.ExpectEq(bed::Listing(parent), beside, "the folder above holds");
        suite.ExpectEq(drv::ReadRecord(), folder, "the record stays as it was");
    });

    // A folder too long for any path is refused, never cut to a shorter one.
    suite.Case("record: GameDir longer than a path can be is an error, not a cut folder", [&] {
        std::string tooLong = "C:\\" + std::string(300, 'a') + "\\";
        suite.Require(drv::ClearRecord() && drv::SetRecordString(tooLong), "cannot set the record");
        bed::Running app;
        app.process = drv::Start(bed::UpdaterPath("Setup"));
        suite.Require(app.process.Started(), "the updater did not start");
        HWND boxWindow = drv::WaitWindow(app.process.Id(), "Setup");
        suite.Require(boxWindow != nullptr, "no box captioned Setup appeared");
        bed::ExpectBoxAndPress(suite, ReadPaintedBox(boxWindow, IDI_ERROR), "Setup",
                               bed::ErrorText(texts::kValueNotRead, names::kRecordValue), IDI_ERROR);
        CloseEverything(app);
        suite.ExpectEq(drv::ReadRecord(), tooLong, "the record stays as it was");
    });

    struct Empty {
        const char* name;
        bool keyPresent;
    };
    const Empty empties[] = {
        {"record: no record at all opens the locate dialog; closing it ends the program", false},
        {"record: an empty GameDir opens the locate dialog; closing it ends the program", true},
    };
    for (const Empty& empty : empties) {
        suite.Case(empty.name, [&] {
            suite.Require(drv::ClearRecord(), "cannot clear the record");
            if (empty.keyPresent) suite.Require(drv::SetRecordString(""), "cannot set the record");
            bed::Running app;
            app.process = drv::Start(bed::UpdaterPath("Setup"));
            suite.Require(app.process.Started(), "the updater did not start");
            HWND dialog = drv::WaitWindow(app.process.Id(), texts::kLocateCaption);
            suite.Require(dialog != nullptr, "the locate dialog never appeared");
            bed::Snap(dialog, "locate-at-start");
            HWND quit = drv::FindChild(dialog, "Button", texts::kQuit);
            suite.Require(quit != nullptr, "the locate dialog has no 終了 button");
            drv::Click(quit);
            suite.ExpectEq(app.process.WaitExit(), 0L, "exit code after the dialog's 終了");
            suite.ExpectEq(drv::ReadRecord(), std::string(), "the record stays empty");
        });
    }

    return suite.Finish();
}
