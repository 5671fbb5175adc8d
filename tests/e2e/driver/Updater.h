// The one updater driver: where the runner put things, how to start the
// updater and find its windows, the texts its boxes show, what it wrote.
#pragma once

#include <string>
#include <vector>

#include "driver/Check.h"
#include "driver/Driver.h"

namespace upd {

// Folders the runner hands over in the environment (Windows paths):
//   E2E_UPDATERS  the updaters, each <name>.exe with <name>.payload beside it
//   E2E_WORK      a folder the scenarios may fill
//   E2E_SHOTS     where screenshots go (BMP; optional)
//   E2E_OLD_GAME  an old kestravon.exe
//   E2E_FULL_DRIVE  a drive with little space left, e.g. "D:" (optional)
std::string Env(const char* name);

std::string UpdaterPath(const std::string& name);   // name without ".exe"
std::string PayloadPath(const std::string& name);
// Title of the error boxes: the program file's name up to its first ".",
// every letter after the first in lower case.
std::string TitleOf(const std::string& name);
// An error message (a pattern of resources/Texts.h) as the default error
// display shows it.
std::string ErrorText(const char* pattern, const std::string& arg = "");
// The system's ANSI code page is a Western one (1252), not Japanese.
bool WesternSystem();
// What the bed put in as Setup.exe (E2E_SETUP): "" the program as shipped;
// "ansi" a build on the ANSI windows of Windows 98/Me; "utf8" a build whose
// manifest makes UTF-8 its ANSI code page (its windows are Unicode ones).
bool AnsiWindowsSetup();
bool Utf8Setup();
// name, or name-en on a Western system: the screenshots of both beds side by side.
std::string ShotName(const std::string& name);

// Writes updater to as a copy of updater from with one literal byte of the
// coded stream in its EXE container flipped, about halfway through: it still
// decodes, to the wrong bytes, so only the checksum can tell. False when the
// container is not found (it is found by its header, from from's payload).
bool MakeFlippedCopy(const std::string& from, const std::string& to);
// Writes updater to as a copy of from that Wine answers as Windows 98 (its
// AppDefaults say so), as Windows 10 does in 98 compatibility mode.
bool MakeWindows98Copy(const std::string& from, const std::string& to);

// A game folder under E2E_WORK (or root, when given): MG_DATA.MBL and the
// old kestravon.exe. Returns the folder without a trailing "\".
std::string MakeGameFolder(const std::string& name, const std::string& root = "");
std::string OldGame();

// A running updater. Its windows are found by class (kMainWindow.className,
// kLocateWindow.className, the picker "#32770", names::kMessageDialogClass) and,
// where given, caption.
struct Running {
    drv::Process process;
    HWND main = nullptr;
    ~Running();  // never leaves a copy behind for the next scenario

    bool Ended() const { return !process.Running(); }
    // The updater's top-level window of that class and caption ("" for any),
    // the visible ones only unless asked, or null.
    HWND Window(const char* windowClass, const std::string& caption = "", bool visibleOnly = true) const;
    // Waits for that window to be shown; null when it never was or the
    // updater ended meanwhile.
    HWND WaitWindow(const char* windowClass, const std::string& caption = "", int timeoutMs = drv::kWaitMs) const;
    // The same, ending the case when it never shows (saying what did show
    // instead) or when a window of class forbidden shows meanwhile.
    HWND WaitFor(const char* windowClass, const std::string& caption = "", const char* forbidden = nullptr) const;
    // Found by class, their captions (and Unicode or ANSI window, as
    // E2E_SETUP says) checked without ending the case.
    HWND WaitMainWindow() const;
    HWND WaitLocateDialog() const;
    // Watches for a while that exactly these windows stay up, and no other.
    void ExpectOnly(const std::vector<HWND>& expected, const std::string& what) const;
    // The exit code; ends the case when the updater does not end.
    long WaitExit() const;
    std::vector<HWND> Windows() const { return drv::TopWindows(process.Id()); }
    // "class "caption" (text)" of each window shown, for a failure message.
    std::string Shown() const;
};

// Starts an updater (a full path) without waiting for any window; currentDir
// "" keeps the driver's folder. Its output goes to E2E_WORK\<name>.stderr.txt.
bool Launch(const std::string& exe, Running& running, const std::string& currentDir = "");
// Starts the updater and waits for its main window (false: never came),
// checking it as WaitMainWindow does.
bool StartUpdater(const std::string& name, Running& running, const std::string& currentDir = "");
// Starts the updater with no folder known (the record cleared) and waits for
// the locate dialog at its first showing; ends the case when it never shows.
HWND StartToLocateDialog(Running& running, const std::string& name = "Setup", const std::string& currentDir = "");
HWND MainButton(const Running& running, const char* caption);
// Presses "終了" and waits for the exit code.
long Quit(Running& running);
// Closes whatever the updater shows until it ends; false when it never does.
bool CloseAll(Running& running);

// Waits for the next box of the running updater and reads it.
bool WaitBox(const Running& running, drv::Box& box, int timeoutMs = drv::kWaitMs);
// Checks a box's caption, text, icon (IDI_ERROR, IDI_INFORMATION; none
// when null) and its one OK button, then presses OK.
void ExpectBoxAndPress(const drv::Box& box, const std::string& caption, const std::string& text,
                       LPCSTR icon = nullptr);
// Presses the button of one of the updater's message boxes whose caption
// is caption (a program text).
void Answer(HWND box, const char* caption);
// The text of one of the updater's message boxes.
std::string BoxText(HWND box);

// Presses the start button and waits for the box that answers it.
bool StartUpdate(const Running& running, drv::Box& box);
// Presses the start button and expects a whole update: the completion box,
// exit code 0, and folder's kestravon.exe holding updater's payload.
void ExpectUpdateInto(Running& running, const std::string& updater, const std::string& folder);

// The locate dialog's manual setting: opens the folder picker (its caption
// checked).
HWND OpenPicker(const Running& running, HWND locate);
void TypeFolder(HWND picker, const std::string& folder);
void TypeFolder(HWND picker, const std::wstring& folder);
// Opens the picker, types folder and presses OK.
HWND PickAndAccept(const Running& running, HWND locate, const std::string& folder);

void ExpectCentred(HWND window, const std::string& what);

// Saves the window, frame included, as E2E_SHOTS\<name>.bmp; false when
// that failed (not when E2E_SHOTS is unset).
bool Snap(HWND window, const std::string& name);

}  // namespace upd
