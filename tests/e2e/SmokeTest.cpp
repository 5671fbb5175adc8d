// The shipped program once through, as a user runs it: one copy only, the
// update, the completion box, the new file.
#include "driver/Updater.h"
#include "resources/Names.h"
#include "resources/Texts.h"

int main(int argc, char** argv) {
    check::Suite suite(argc, argv);

    suite.Case("shipped Setup.exe: a second copy exits 1 while the first runs", [&] {
        suite.Require(drv::SetRecordString(bed::MakeGameFolder("smoke-second") + "\\"), "cannot set the record");
        bed::Running first;
        suite.Require(bed::StartUpdater("Setup", first), "the main window never appeared");
        drv::Process second = drv::Start(bed::UpdaterPath("Setup"));
        suite.ExpectEq(second.WaitExit(), 1L, "exit code of the second copy");
        suite.Expect(IsWindowVisible(first.main), "the first window stays");
        suite.ExpectEq(bed::Quit(first), 0L, "exit code of the first after 終了");
    });

    suite.Case("shipped Setup.exe: update, completion box, exit 0, the payload written", [&] {
        std::string folder = bed::MakeGameFolder("smoke-update");
        std::string target = folder + "\\" + names::kTargetFile;
        suite.Require(drv::SetRecordString(folder + "\\"), "cannot set the record");
        bed::Running app;
        suite.Require(bed::StartUpdater("Setup", app), "the main window never appeared");
        bed::Snap(app.main, "smoke32-main-window");
        drv::Click(bed::MainButton(app, texts::kStartUpdate));
        drv::Box box;
        suite.Require(bed::WaitBox(app, box, drv::kWaitMs * 2), "no box after the start button");
        bed::Snap(box.window, "smoke32-update-done");
        bed::ExpectBoxAndPress(suite, box, texts::kInfoCaption, texts::kUpdateDone);
        suite.ExpectEq(app.process.WaitExit(), 0L, "exit code");
        std::string written, payload;
        drv::ReadWholeFile(target, written);
        drv::ReadWholeFile(bed::PayloadPath("Setup"), payload);
        suite.Expect(!payload.empty() && written == payload, "kestravon.exe is not the payload, byte for byte");
        suite.ExpectEq(bed::Listing(folder), std::string("MG_DATA.MBL, kestravon.exe"), "the folder holds");
    });

    return suite.Finish();
}
