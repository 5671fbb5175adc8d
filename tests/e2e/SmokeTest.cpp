// The shipped program once through, as a user runs it: one copy only, the
// update, the completion box, the new file.
#include "driver/Updater.h"
#include "resources/Names.h"
#include "resources/Texts.h"

namespace {

using check::Require;

void SecondCopyExits() {
    Require(drv::SetRecordString(upd::MakeGameFolder("smoke-second") + "\\"), "cannot set the record");
    upd::Running first;
    Require(upd::StartUpdater("Setup", first), "the main window never appeared");
    drv::Process second = drv::Start(upd::UpdaterPath("Setup"));
    check::ExpectEq(second.WaitExit(), 1L, "exit code of the second copy");
    check::Expect(IsWindowVisible(first.main), "the first window stays");
    check::ExpectEq(upd::Quit(first), 0L, "exit code of the first after the quit button");
}

void UpdateWritesThePayload() {
    std::string folder = upd::MakeGameFolder("smoke-update");
    Require(drv::SetRecordString(folder + "\\"), "cannot set the record");
    upd::Running app;
    Require(upd::StartUpdater("Setup", app), "the main window never appeared");
    upd::Snap(app.main, "smoke32-main-window");
    drv::Click(upd::MainButton(app, texts::kStartUpdate));
    drv::Box box;
    Require(upd::WaitBox(app, box, drv::kWaitMs * 2), "no box after the start button");
    upd::Snap(box.window, "smoke32-update-done");
    upd::ExpectBoxAndPress(box, drv::FromCp932(texts::kInfoCaption), drv::FromCp932(texts::kUpdateDone));
    check::ExpectEq(app.process.WaitExit(), 0L, "exit code");
    std::string written, payload;
    drv::ReadWholeFile(folder + "\\" + names::kTargetFile, written);
    drv::ReadWholeFile(upd::PayloadPath("Setup"), payload);
    check::Expect(!payload.empty() && written == payload, "kestravon.exe is not the payload, byte for byte");
    check::ExpectEq(drv::Listing(folder), std::string("MG_DATA.MBL, kestravon.exe"), "the folder holds");
}

}  // namespace

int main(int argc, char** argv) {
    return check::Run(argc, argv, {
        {"shipped Setup.exe: a second copy exits 1 while the first runs", SecondCopyExits},
        {"shipped Setup.exe: update, completion box, exit 0, the payload written", UpdateWritesThePayload},
    });
}
