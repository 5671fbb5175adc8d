// The update operation end to end: the start button, the file it writes, the
// boxes it shows, and that no failure harms the old kestravon.exe.
#include <cstdio>
#include <functional>
#include <vector>

#include "driver/Updater.h"
#include "resources/Names.h"
#include "resources/Texts.h"

namespace {

std::string Target(const std::string& folder) {
    return folder + "\\" + names::kTargetFile;
}

std::string Contents(const std::string& path) {
    std::string data;
    if (!drv::ReadWholeFile(path, data)) return "<unreadable>";
    return data;
}

void ExpectCentred(check::Suite& suite, HWND window) {
    RECT r = drv::WindowRect(window);
    SIZE screen = drv::ScreenSize();
    long dx = (r.left + r.right) / 2 - screen.cx / 2;
    long dy = (r.top + r.bottom) / 2 - screen.cy / 2;
    suite.Expect(dx >= -1 && dx <= 1 && dy >= -1 && dy <= 1,
                 "box off the screen's centre by " + std::to_string(dx) + ", " + std::to_string(dy));
}

struct GoodUpdate {
    const char* name;
    const char* updater;
    bool oldFilePresent;
    // Of the old kestravon.exe, and so of the new one.
    DWORD attributes = 0;
    // Side files an interrupted run left: cleared by the update.
    bool staleSideFiles = false;
};
// Wine answers as Windows 98 to the program that its AppDefaults name so, as
// Windows 10 does in 98 compatibility mode. The replacing move is still
// there and must be used: what the system can do decides, not its version.
constexpr char kAs98[] = "Setup98";

bool MakeWindows98Copy() {
    if (!CopyFileA(bed::UpdaterPath("Setup").c_str(), bed::UpdaterPath(kAs98).c_str(), FALSE) ||
        !CopyFileA(bed::PayloadPath("Setup").c_str(), bed::PayloadPath(kAs98).c_str(), FALSE)) {
        return false;
    }
    std::string path = std::string("Software\\Wine\\AppDefaults\\") + kAs98 + ".exe";
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                        nullptr) != ERROR_SUCCESS) {
        return false;
    }
    static const char kVersion[] = "win98";
    LONG set = RegSetValueExA(key, "Version", 0, REG_SZ, reinterpret_cast<const BYTE*>(kVersion),
                              sizeof kVersion);
    RegCloseKey(key);
    return set == ERROR_SUCCESS;
}

constexpr GoodUpdate kGoodUpdates[] = {
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

// A failure the user must see in a box while the old file stays whole.
struct FailedUpdate {
    const char* name;
    const char* updater;
    // Sets up the folder and returns the record's value; "" skips the case.
    std::function<std::string(const std::string& folder)> prepare;
    std::function<std::string(const std::string& target)> message;
    std::function<void()> release;
};

}  // namespace

int main(int argc, char** argv) {
    check::Suite suite(argc, argv);
    const std::string work = bed::Env("E2E_WORK");
    if (!MakeWindows98Copy()) std::printf("e2e: no %s copy; its cases will fail\n", kAs98);

    for (const GoodUpdate& good : kGoodUpdates) {
        suite.Case(good.name, [&] {
            std::string folder = bed::MakeGameFolder("good");
            if (!good.oldFilePresent) DeleteFileA(Target(folder).c_str());
            if (good.attributes) SetFileAttributesA(Target(folder).c_str(), good.attributes);
            if (good.staleSideFiles) {
                for (const char* side : {".~00n", ".~00b", ".~01n"}) drv::WriteWholeFile(Target(folder) + side, "stale");
            }
            suite.Require(drv::SetRecordString(folder + "\\"), "cannot set the record");
            suite.Require(drv::FileExists(bed::UpdaterPath(good.updater)),
                          std::string(good.updater) + ".exe is missing (for Setup-signed: see signed.sh)");
            bed::Running app;
            suite.Require(bed::StartUpdater(good.updater, app), "the main window never appeared");
            drv::Box box;
            suite.Require(bed::StartUpdate(suite, app, box), "no box after the start button");
            if (std::string(good.updater) == "Setup") bed::Snap(box.window, "update-done");
            ExpectCentred(suite, box.window);
            bed::ExpectBoxAndPress(suite, box, texts::kInfoCaption, texts::kUpdateDone, IDI_INFORMATION);
            suite.ExpectEq(app.process.WaitExit(), 0L, "exit code after the completion box");
            suite.Expect(Contents(Target(folder)) == Contents(bed::PayloadPath(good.updater)),
                         "kestravon.exe is not the payload, byte for byte");
            suite.ExpectEq(bed::Listing(folder), std::string("MG_DATA.MBL, kestravon.exe"), "the folder holds");
            DWORD kept = GetFileAttributesA(Target(folder).c_str()) &
                         (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
            suite.ExpectEq(static_cast<long>(kept),
                           static_cast<long>(good.attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)),
                           "hidden and system attributes of the new kestravon.exe");
            SetFileAttributesA(Target(folder).c_str(), FILE_ATTRIBUTE_NORMAL);
            // The decoder's progress: dots on the standard error and nothing else.
            std::string dots = Contents(bed::Env("E2E_WORK") + "\\" + good.updater + ".stderr.txt");
            bool onlyDots = dots.find_first_not_of('.') == std::string::npos;
            suite.Expect(onlyDots && (std::string(good.updater) == "Setup-empty" || !dots.empty()),
                         "standard error holds \"" + dots.substr(0, 40) + "\", not progress dots");
        });
    }

    HANDLE held = INVALID_HANDLE_VALUE;
    const std::string fullDrive = bed::Env("E2E_FULL_DRIVE");
    const std::vector<FailedUpdate> failures = {
        {"failure: a missing install folder cannot take the file", "Setup",
         [&](const std::string& folder) {
             std::string gone = folder + "\\gone";
             RemoveDirectoryA(gone.c_str());
             return gone + "\\";
         },
         [](const std::string& target) { return bed::ErrorText(texts::kCannotCreateFile, target); }, [] {}},
        {"failure: kestravon.exe held open without sharing", "Setup",
         [&](const std::string& folder) {
             held = CreateFileA(Target(folder).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
             suite.Require(held != INVALID_HANDLE_VALUE, "the driver cannot hold the file open");
             return folder + "\\";
         },
         [](const std::string& target) { return bed::ErrorText(texts::kCannotCreateFile, target); },
         [&] {
             CloseHandle(held);
             held = INVALID_HANDLE_VALUE;
         }},
        {"failure: a read-only kestravon.exe", "Setup",
         [&](const std::string& folder) {
             SetFileAttributesA(Target(folder).c_str(), FILE_ATTRIBUTE_READONLY);
             return folder + "\\";
         },
         [](const std::string& target) { return bed::ErrorText(texts::kCannotCreateFile, target); }, [] {}},
        {"failure: a container cut short writes nothing (no checksum: the decoder finds it)", "Setup-damaged",
         [](const std::string& folder) { return folder + "\\"; },
         [](const std::string&) { return bed::ErrorText(texts::kResourceDamaged, names::kPayloadResource); },
         [] {}},
        {"failure: one coded byte of EXE flipped: the checksum keeps it off the disk", "Setup-flipped",
         [&](const std::string& folder) {
             suite.Require(bed::MakeFlippedCopy("Setup", "Setup-flipped"), "cannot flip a byte of Setup.exe");
             return folder + "\\";
         },
         [](const std::string&) { return bed::ErrorText(texts::kResourceDamaged, names::kPayloadResource); },
         [] {}},
        {"failure: the stub, without the payload resource", "Setup-stub",
         [](const std::string& folder) { return folder + "\\"; },
         [](const std::string&) { return bed::ErrorText(texts::kResourceNotFound, names::kPayloadResource); },
         [] {}},
        // The box title comes from the file name: cut at its first ".", then
        // every letter after the first in lower case.
        {"failure: an error box of SETUP.TEST.EXE is titled Setup", "SETUP.TEST",
         [&](const std::string& folder) {
             CopyFileA(bed::UpdaterPath("Setup-stub").c_str(), bed::UpdaterPath("SETUP.TEST").c_str(), FALSE);
             return folder + "\\";
         },
         [](const std::string&) { return bed::ErrorText(texts::kResourceNotFound, names::kPayloadResource); },
         [] {}},
    };

    for (const FailedUpdate& failure : failures) {
        suite.Case(failure.name, [&] {
            std::string folder = bed::MakeGameFolder("failing");
            std::string record = failure.prepare(folder);
            std::string before = bed::Listing(folder);
            std::string target = record + names::kTargetFile;
            suite.Require(drv::SetRecordString(record), "cannot set the record");
            bed::Running app;
            suite.Require(bed::StartUpdater(failure.updater, app), "the main window never appeared");
            drv::Box box;
            bool boxed = bed::StartUpdate(suite, app, box);
            failure.release();
            suite.Require(boxed, "no box after the start button");
            bed::ExpectBoxAndPress(suite, box, bed::TitleOf(failure.updater), failure.message(target), IDI_ERROR);
            Sleep(300);
            suite.Expect(app.process.Running() && IsWindowVisible(app.main), "the program keeps running");
            SetFileAttributesA(Target(folder).c_str(), FILE_ATTRIBUTE_NORMAL);
            suite.Expect(Contents(Target(folder)) == Contents(bed::OldGame()), "the old kestravon.exe changed");
            suite.ExpectEq(bed::Listing(folder), before, "the folder holds");
            suite.ExpectEq(bed::Quit(app), 0L, "exit code after 終了");
        });
    }

    suite.Case("failure then retry: once the file is free again, the same run updates it", [&] {
        std::string folder = bed::MakeGameFolder("retry");
        suite.Require(drv::SetRecordString(folder + "\\"), "cannot set the record");
        bed::Running app;
        suite.Require(bed::StartUpdater("Setup", app), "the main window never appeared");
        HANDLE lock = CreateFileA(Target(folder).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        drv::Box box;
        bool boxed = bed::StartUpdate(suite, app, box);
        CloseHandle(lock);
        suite.Require(boxed, "no box after the first press");
        bed::ExpectBoxAndPress(suite, box, "Setup", bed::ErrorText(texts::kCannotCreateFile, Target(folder)));
        suite.Require(bed::StartUpdate(suite, app, box), "no box after the second press");
        bed::ExpectBoxAndPress(suite, box, texts::kInfoCaption, texts::kUpdateDone);
        suite.ExpectEq(app.process.WaitExit(), 0L, "exit code");
        suite.Expect(Contents(Target(folder)) == Contents(bed::PayloadPath("Setup")), "kestravon.exe is the payload");
        suite.ExpectEq(bed::Listing(folder), std::string("MG_DATA.MBL, kestravon.exe"), "the folder holds");
    });

    // demo/Kestravon.ico is brick red under a gold V; nothing else in a
    // title bar has that red.
    constexpr uint32_t kGameIconRed = 0xB03020;
    suite.Case("icon: the game's icon is in the title bars of the main window and a box, only when bundled", [&] {
        for (std::string updater : {"Setup", "Setup-nocrc"}) {
            const bool bundled = updater == "Setup";
            std::string folder = bed::MakeGameFolder("icon");
            suite.Require(drv::SetRecordString(folder + "\\gone\\"), "cannot set the record");
            bed::Running app;
            suite.Require(bed::StartUpdater(updater, app), "the main window never appeared");
            int red = drv::CaptionIconPixels(app.main, kGameIconRed);
            suite.Expect(bundled ? red >= 16 : red == 0,
                         updater + ": " + std::to_string(red) + " pixels of the icon's red in the main window's title bar");
            drv::Box box;
            suite.Require(bed::StartUpdate(suite, app, box), "no box after the start button");
            red = drv::CaptionIconPixels(box.window, kGameIconRed);
            suite.Expect(bundled ? red >= 16 : red == 0,
                         updater + ": " + std::to_string(red) + " pixels of the icon's red in the box's title bar");
            if (bundled) bed::Snap(app.main, "main-window-icon");
            bed::ExpectBoxAndPress(suite, box, bed::TitleOf(updater),
                                  bed::ErrorText(texts::kCannotCreateFile, folder + "\\gone\\" + names::kTargetFile),
                                  IDI_ERROR);
            suite.ExpectEq(bed::Quit(app), 0L, "exit code after 終了");
        }
    });

    const char* fullName = "failure: a disk that fills up keeps the old kestravon.exe";
    if (fullDrive.empty()) {
        suite.Skip(fullName, "no small disk in this bed (mounting a tmpfs was not allowed)");
    } else {
        suite.Case(fullName, [&] {
            std::string folder = bed::MakeGameFolder("game", fullDrive);
            suite.Require(drv::FileExists(Target(folder)), "the old game does not fit on " + fullDrive);
            std::string before = bed::Listing(folder);
            suite.Require(drv::SetRecordString(folder + "\\"), "cannot set the record");
            bed::Running app;
            suite.Require(bed::StartUpdater("Setup-large", app), "the main window never appeared");
            drv::Box box;
            suite.Require(bed::StartUpdate(suite, app, box), "no box after the start button");
            bed::ExpectBoxAndPress(suite, box, bed::TitleOf("Setup-large"), bed::ErrorText(texts::kWriteError),
                                  IDI_ERROR);
            Sleep(300);
            suite.Expect(app.process.Running() && IsWindowVisible(app.main), "the program keeps running");
            suite.Expect(Contents(Target(folder)) == Contents(bed::OldGame()), "the old kestravon.exe changed");
            suite.ExpectEq(bed::Listing(folder), before, "the folder holds");
            suite.ExpectEq(bed::Quit(app), 0L, "exit code after 終了");
        });
    }

    return suite.Finish();
}
