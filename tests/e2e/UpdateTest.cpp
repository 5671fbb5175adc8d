// The update operation end to end: the start button, the file it writes, the
// boxes it shows, and that no failure harms the old kestravon.exe.
#include <functional>
#include <vector>

#include "driver/Updater.h"
#include "resources/Names.h"
#include "resources/Texts.h"

namespace {

using check::Expect;
using check::ExpectEq;
using check::Require;
using drv::FromCp932;

std::string Target(const std::string& folder) {
    return folder + "\\" + names::kTargetFile;
}

std::string Contents(const std::string& path) {
    std::string data;
    if (!drv::ReadWholeFile(path, data)) return "<unreadable>";
    return data;
}

// Wine answers as Windows 98 to this copy, as Windows 10 does in 98
// compatibility mode. The replacing move is still there and must be used:
// what the system can do decides, not its version.
constexpr char kAs98[] = "Setup98";

struct GoodUpdate {
    const char* name;
    const char* updater;
    bool oldFilePresent;
    // Of the old kestravon.exe, and so of the new one.
    DWORD attributes = 0;
    // Side files an interrupted run left: cleared by the update.
    bool staleSideFiles = false;
};

const GoodUpdate kGoodUpdates[] = {
    {"update: the old kestravon.exe is replaced by the payload", "Setup", true},
    {"update: an updater made before checksums (EXE, no EXECRC) still updates", "Setup-nocrc", true},
    {"update: a signed Setup.exe (osslsigncode verified it) still updates", "Setup-signed", true},
    {"update: a missing kestravon.exe is created in the existing folder", "Setup", false},
    {"update as on Windows 98: the old kestravon.exe is replaced, no backup stays", kAs98, true},
    {"update as on Windows 98: a missing kestravon.exe is created", kAs98, false},
    {"update: a hidden, system kestravon.exe is replaced and stays hidden and system", "Setup", true,
     FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE},
    {"update: side files an interrupted run left are cleared", "Setup", true, 0, true},
    {"update as on Windows 98: side files an interrupted run left are cleared", kAs98, true, 0, true},
    {"update: an empty payload leaves an empty kestravon.exe and still completes", "Setup-empty", true},
};

void Update(const GoodUpdate& good) {
    std::string folder = upd::MakeGameFolder("good");
    if (!good.oldFilePresent) DeleteFileA(Target(folder).c_str());
    if (good.attributes) SetFileAttributesA(Target(folder).c_str(), good.attributes);
    if (good.staleSideFiles) {
        for (const char* side : {".~00n", ".~00b", ".~01n"}) drv::WriteWholeFile(Target(folder) + side, "stale");
    }
    Require(drv::SetRecordString(folder + "\\"), "cannot set the record");
    if (std::string(good.updater) == kAs98) {
        Require(upd::MakeWindows98Copy("Setup", kAs98), "cannot make the Windows 98 copy");
    }
    Require(drv::FileExists(upd::UpdaterPath(good.updater)),
            std::string(good.updater) + ".exe is missing (for Setup-signed: see signed.sh)");
    upd::Running app;
    Require(upd::StartUpdater(good.updater, app), "the main window never appeared");
    drv::Box box;
    Require(upd::StartUpdate(app, box), "no box after the start button");
    if (std::string(good.updater) == "Setup") upd::Snap(box.window, "update-done");
    upd::ExpectCentred(box.window, "the completion box");
    upd::ExpectBoxAndPress(box, FromCp932(texts::kInfoCaption), FromCp932(texts::kUpdateDone), IDI_INFORMATION);
    ExpectEq(app.process.WaitExit(), 0L, "exit code after the completion box");
    Expect(Contents(Target(folder)) == Contents(upd::PayloadPath(good.updater)),
           "kestravon.exe is not the payload, byte for byte");
    ExpectEq(drv::Listing(folder), std::string("MG_DATA.MBL, kestravon.exe"), "the folder holds");
    DWORD kept = GetFileAttributesA(Target(folder).c_str()) & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
    ExpectEq(static_cast<long>(kept), static_cast<long>(good.attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)),
             "hidden and system attributes of the new kestravon.exe");
    SetFileAttributesA(Target(folder).c_str(), FILE_ATTRIBUTE_NORMAL);
    // The decoder's progress: dots on the standard error and nothing else.
    std::string dots = Contents(upd::Env("E2E_WORK") + "\\" + good.updater + ".stderr.txt");
    bool onlyDots = dots.find_first_not_of('.') == std::string::npos;
    Expect(onlyDots && (std::string(good.updater) == "Setup-empty" || !dots.empty()),
           "standard error holds \"" + dots.substr(0, 40) + "\", not progress dots");
}

HANDLE gHeld = INVALID_HANDLE_VALUE;  // let go once the box is up

// A failure the user must see in a box while the old file stays whole.
struct FailedUpdate {
    const char* name;
    const char* updater;
    // Sets up the folder and returns the record's value.
    std::function<std::string(const std::string& folder)> prepare;
    const char* pattern;
    bool namesTheFile;  // the box names kestravon.exe, else the payload resource
};

// The box and a program that runs on; the folder holds what it held.
void ExpectRefused(upd::Running& app, const std::string& updater, const std::string& text,
                   const std::string& folder, const std::string& before) {
    drv::Box box;
    bool boxed = upd::StartUpdate(app, box);
    if (gHeld != INVALID_HANDLE_VALUE) CloseHandle(gHeld);
    gHeld = INVALID_HANDLE_VALUE;
    Require(boxed, "no box after the start button");
    upd::ExpectBoxAndPress(box, upd::TitleOf(updater), text, IDI_ERROR);
    Sleep(300);
    Expect(app.process.Running() && IsWindowVisible(app.main), "the program keeps running");
    SetFileAttributesA(Target(folder).c_str(), FILE_ATTRIBUTE_NORMAL);
    Expect(Contents(Target(folder)) == Contents(upd::OldGame()), "the old kestravon.exe changed");
    ExpectEq(drv::Listing(folder), before, "the folder holds");
    ExpectEq(upd::Quit(app), 0L, "exit code after the quit button");
}

void FailToUpdate(const FailedUpdate& failure) {
    std::string folder = upd::MakeGameFolder("failing");
    std::string record = failure.prepare(folder);
    std::string before = drv::Listing(folder);
    Require(drv::SetRecordString(record), "cannot set the record");
    upd::Running app;
    Require(upd::StartUpdater(failure.updater, app), "the main window never appeared");
    ExpectRefused(app, failure.updater,
                  upd::ErrorText(failure.pattern, failure.namesTheFile ? record + names::kTargetFile
                                                                       : names::kPayloadResource),
                  folder, before);
}

std::string AsItIs(const std::string& folder) {
    return folder + "\\";
}

const std::vector<FailedUpdate> kFailedUpdates = {
    {"failure: a missing install folder cannot take the file", "Setup",
     [](const std::string& folder) {
         std::string gone = folder + "\\gone";
         RemoveDirectoryA(gone.c_str());
         return gone + "\\";
     },
     texts::kCannotCreateFile, true},
    {"failure: kestravon.exe held open without sharing", "Setup",
     [](const std::string& folder) {
         gHeld = CreateFileA(Target(folder).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
         Require(gHeld != INVALID_HANDLE_VALUE, "the driver cannot hold the file open");
         return folder + "\\";
     },
     texts::kCannotCreateFile, true},
    {"failure: a read-only kestravon.exe", "Setup",
     [](const std::string& folder) {
         SetFileAttributesA(Target(folder).c_str(), FILE_ATTRIBUTE_READONLY);
         return folder + "\\";
     },
     texts::kCannotCreateFile, true},
    {"failure: a container cut short writes nothing (no checksum: the decoder finds it)", "Setup-damaged", AsItIs,
     texts::kResourceDamaged, false},
    {"failure: one coded byte of EXE flipped: the checksum keeps it off the disk", "Setup-flipped",
     [](const std::string& folder) {
         Require(upd::MakeFlippedCopy("Setup", "Setup-flipped"), "cannot flip a byte of Setup.exe");
         return folder + "\\";
     },
     texts::kResourceDamaged, false},
    {"failure: the stub, without the payload resource", "Setup-stub", AsItIs, texts::kResourceNotFound, false},
    // The box title comes from the file name: cut at its first ".", then
    // every letter after the first in lower case.
    {"failure: an error box of SETUP.TEST.EXE is titled Setup", "SETUP.TEST",
     [](const std::string& folder) {
         CopyFileA(upd::UpdaterPath("Setup-stub").c_str(), upd::UpdaterPath("SETUP.TEST").c_str(), FALSE);
         return folder + "\\";
     },
     texts::kResourceNotFound, false},
};

void RetryAfterFailure() {
    std::string folder = upd::MakeGameFolder("retry");
    Require(drv::SetRecordString(folder + "\\"), "cannot set the record");
    upd::Running app;
    Require(upd::StartUpdater("Setup", app), "the main window never appeared");
    HANDLE lock = CreateFileA(Target(folder).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    drv::Box box;
    bool boxed = upd::StartUpdate(app, box);
    CloseHandle(lock);
    Require(boxed, "no box after the first press");
    upd::ExpectBoxAndPress(box, "Setup", upd::ErrorText(texts::kCannotCreateFile, Target(folder)));
    upd::ExpectUpdateInto(app, "Setup", folder);
    ExpectEq(drv::Listing(folder), std::string("MG_DATA.MBL, kestravon.exe"), "the folder holds");
}

// demo/Kestravon.ico is brick red under a gold V; nothing else in a
// title bar has that red.
constexpr uint32_t kGameIconRed = 0xB03020;

void IconOnlyWhenBundled() {
    for (std::string updater : {"Setup", "Setup-nocrc"}) {
        const bool bundled = updater == "Setup";
        std::string folder = upd::MakeGameFolder("icon");
        Require(drv::SetRecordString(folder + "\\gone\\"), "cannot set the record");
        upd::Running app;
        Require(upd::StartUpdater(updater, app), "the main window never appeared");
        int red = drv::CaptionIconPixels(app.main, kGameIconRed);
        Expect(bundled ? red >= 16 : red == 0,
               updater + ": " + std::to_string(red) + " pixels of the icon's red in the main window's title bar");
        drv::Box box;
        Require(upd::StartUpdate(app, box), "no box after the start button");
        red = drv::CaptionIconPixels(box.window, kGameIconRed);
        Expect(bundled ? red >= 16 : red == 0,
               updater + ": " + std::to_string(red) + " pixels of the icon's red in the box's title bar");
        if (bundled) upd::Snap(app.main, "main-window-icon");
        upd::ExpectBoxAndPress(box, upd::TitleOf(updater),
                               upd::ErrorText(texts::kCannotCreateFile, folder + "\\gone\\" + names::kTargetFile),
                               IDI_ERROR);
        ExpectEq(upd::Quit(app), 0L, "exit code after the quit button");
    }
}

void DiskFullKeepsTheOldFile() {
    const std::string fullDrive = upd::Env("E2E_FULL_DRIVE");
    if (fullDrive.empty()) check::Skip("no small disk in this bed (mounting a tmpfs was not allowed)");
    std::string folder = upd::MakeGameFolder("game", fullDrive);
    Require(drv::FileExists(Target(folder)), "the old game does not fit on " + fullDrive);
    std::string before = drv::Listing(folder);
    Require(drv::SetRecordString(folder + "\\"), "cannot set the record");
    upd::Running app;
    Require(upd::StartUpdater("Setup-large", app), "the main window never appeared");
    ExpectRefused(app, "Setup-large", upd::ErrorText(texts::kWriteError), folder, before);
}

}  // namespace

int main(int argc, char** argv) {
    check::Table table;
    for (const GoodUpdate& good : kGoodUpdates) table.push_back({good.name, [&good] { Update(good); }});
    for (const FailedUpdate& failure : kFailedUpdates) {
        table.push_back({failure.name, [&failure] { FailToUpdate(failure); }});
    }
    table.insert(table.end(), {
        {"failure then retry: once the file is free again, the same run updates it", RetryAfterFailure},
        {"icon: the game's icon is in the title bars of the main window and a box, only when bundled",
         IconOnlyWhenBundled},
        {"failure: a disk that fills up keeps the old kestravon.exe", DiskFullKeepsTheOldFile},
    });
    return check::Run(argc, argv, table);
}
