// What the install location record does at start-up: a bad value is shown
// and survived, an empty one opens the locate dialog, an expandable string counts.
#include <vector>

#include "driver/Updater.h"
#include "resources/Layouts.h"
#include "resources/Names.h"
#include "resources/Texts.h"

namespace {

using check::Expect;
using check::ExpectEq;
using check::Require;
using drv::FromCp932;

std::string WithNul(const std::string& s) {
    return s + std::string(1, '\0');
}

// Starts Setup with the record as it is and reads its error box, titled Setup.
drv::Box StartToErrorBox(upd::Running& app) {
    Require(upd::Launch(upd::UpdaterPath("Setup"), app), "the updater did not start");
    return drv::ReadBox(app.WaitFor(names::kMessageDialogClass, "Setup"));
}

void BadTypeIsRefused(DWORD type, const std::string& bytes) {
    Require(drv::ClearRecord() && drv::SetRecordRaw(type, bytes), "cannot set the record");
    upd::Running app;
    upd::ExpectBoxAndPress(StartToErrorBox(app), "Setup", upd::ErrorText(texts::kValueWrongType, names::kRecordValue), IDI_ERROR);
    Sleep(500);
    Expect(app.process.Running(), "the program keeps running after the box");
    Expect(!app.Windows().empty(), "the program still shows a window");
    upd::CloseAll(app);
}

void AfterBadTypeStartRefusesEmptyFolder() {
    std::string here = upd::Env("E2E_WORK") + "\\current";
    drv::FreshFolder(here);
    Require(drv::ClearRecord() && drv::SetRecordDword(7), "cannot set the record");
    upd::Running app;
    Require(upd::Launch(upd::UpdaterPath("Setup"), app, here), "the updater did not start");
    const std::string wrongType = upd::ErrorText(texts::kValueWrongType, names::kRecordValue);
    const std::string mainCaption = FromCp932(texts::kMainCaption);
    const std::string locateCaption = FromCp932(texts::kLocateCaption);
    // The start-up read fails; the first-show check finds no folder, offers
    // the locate dialog, and reads the record again when it closes.
    std::vector<HWND> seen;
    std::string order;
    for (int step = 0; step < 6; ++step) {
        drv::Box box;
        if (!drv::WaitBox(app.process.Id(), box, seen, 5000)) break;
        seen.push_back(box.window);
        order += (order.empty() ? "" : " / ") + box.caption;
        if (box.caption == mainCaption) {
            app.main = box.window;
            break;
        }
        if (box.caption == locateCaption) {
            drv::Click(drv::FindChild(box.window, "Button", FromCp932(texts::kQuit)));
        } else {
            ExpectEq(box.text, wrongType, "error box text");
            drv::PressBoxButton(box, FromCp932(texts::kButtonOk));
        }
        drv::WaitGone(box.window);
    }
    ExpectEq(order, "Setup / " + locateCaption + " / Setup / " + mainCaption, "windows in turn");
    Require(app.main != nullptr, "the main window never appeared");
    drv::Box box;
    drv::Click(upd::MainButton(app, texts::kStartUpdate));
    Require(upd::WaitBox(app, box), "no box after the start button");
    upd::ExpectBoxAndPress(box, "Setup", upd::ErrorText(texts::kNoInstallFolder));
    ExpectEq(drv::Listing(here), std::string(), "the current folder holds");
    ExpectEq(upd::Quit(app), 0L, "exit code after the quit button");
}

void ExpandableStringIsAString() {
    std::string folder = upd::MakeGameFolder("expand");
    Require(drv::ClearRecord() && drv::SetRecordRaw(REG_EXPAND_SZ, WithNul(folder + "\\")), "cannot set the record");
    upd::Running app;
    Require(upd::StartUpdater("Setup", app), "the main window never appeared");
    ExpectEq(app.Windows().size(), size_t{1}, "windows shown (main only)");
    ExpectEq(upd::Quit(app), 0L, "exit code after the quit button");
}

// What counts is the text up to its first NUL or the data's end: some
// installers store a string with the size of their whole buffer, others
// without its closing NUL. The update lands in that folder and no other.
void StoredFormUpdates(const std::string& tail) {
    std::string folder = upd::MakeGameFolder("stored");
    Require(drv::ClearRecord() && drv::SetRecordRaw(REG_SZ, folder + "\\" + tail), "cannot set the record");
    upd::Running app;
    Require(upd::StartUpdater("Setup", app), "the main window never appeared");
    ExpectEq(app.Windows().size(), size_t{1}, "windows shown (main only)");
    upd::ExpectUpdateInto(app, "Setup", folder);
}

// A record written by hand or by another tool may lack the closing "\":
// the file goes into the folder, not beside it as "<folder>kestravon.exe".
void UnclosedFolderUpdatesInside() {
    std::string folder = upd::MakeGameFolder("unclosed");
    std::string parent = folder.substr(0, folder.rfind('\\'));
    std::string beside = drv::Listing(parent);
    Require(drv::ClearRecord() && drv::SetRecordString(folder), "cannot set the record");
    upd::Running app;
    Require(upd::StartUpdater("Setup", app), "the main window never appeared");
    upd::ExpectUpdateInto(app, "Setup", folder);
    ExpectEq(drv::Listing(parent), beside, "the folder above holds");
    ExpectEq(drv::ReadRecord(), folder, "the record stays as it was");
}

// A folder too long for any path is refused, never cut to a shorter one.
void TooLongIsAnError() {
    std::string tooLong = "C:\\" + std::string(300, 'a') + "\\";
    Require(drv::ClearRecord() && drv::SetRecordString(tooLong), "cannot set the record");
    upd::Running app;
    upd::ExpectBoxAndPress(StartToErrorBox(app), "Setup", upd::ErrorText(texts::kValueNotRead, names::kRecordValue), IDI_ERROR);
    upd::CloseAll(app);
    ExpectEq(drv::ReadRecord(), tooLong, "the record stays as it was");
}

void EmptyOpensLocateDialog(bool keyPresent) {
    Require(drv::ClearRecord(), "cannot clear the record");
    if (keyPresent) Require(drv::SetRecordString(""), "cannot set the record");
    upd::Running app;
    Require(upd::Launch(upd::UpdaterPath("Setup"), app), "the updater did not start");
    HWND dialog = app.WaitLocateDialog();
    upd::Snap(dialog, "locate-at-start");
    HWND quit = drv::FindChild(dialog, "Button", FromCp932(texts::kQuit));
    Require(quit != nullptr, "the locate dialog has no quit button");
    drv::Click(quit);
    ExpectEq(app.process.WaitExit(), 0L, "exit code after the dialog's quit button");
    ExpectEq(drv::ReadRecord(), std::string(), "the record stays empty");
}

}  // namespace

int main(int argc, char** argv) {
    const char* refused = "is refused in an error box; the program keeps running";
    return check::Run(argc, argv, {
        {std::string("record: GameDir as a DWORD ") + refused,
         [] { BadTypeIsRefused(REG_DWORD, std::string("\x01\x00\x00\x00", 4)); }},
        {std::string("record: GameDir as binary data ") + refused, [] { BadTypeIsRefused(REG_BINARY, WithNul("C:\\")); }},
        {std::string("record: GameDir as a multi-string ") + refused,
         [] { BadTypeIsRefused(REG_MULTI_SZ, WithNul(WithNul("C:\\"))); }},
        {"record: after a bad GameDir, the start button refuses the empty folder and writes nothing",
         AfterBadTypeStartRefusesEmptyFolder},
        {"record: GameDir as an expandable string is read like a string", ExpandableStringIsAString},
        {"record: GameDir padded with NULs past its end is read up to the first NUL",
         [] { StoredFormUpdates(std::string(1024, '\0')); }},
        {"record: GameDir stored without its closing NUL is read whole", [] { StoredFormUpdates(""); }},
        {"record: GameDir without its closing \\ updates the file inside the folder", UnclosedFolderUpdatesInside},
        {"record: GameDir longer than a path can be is an error, not a cut folder", TooLongIsAnError},
        {"record: no record at all opens the locate dialog; closing it ends the program",
         [] { EmptyOpensLocateDialog(false); }},
        {"record: an empty GameDir opens the locate dialog; closing it ends the program",
         [] { EmptyOpensLocateDialog(true); }},
    });
}
