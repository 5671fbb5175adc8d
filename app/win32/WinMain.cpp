// Program entry: one copy at a time, the two windows, the message loop.
#include <windows.h>

#include "app/win32/MainWindow.h"
#include "locate/win32/LocateDialog.h"
#include "platform/win32/DllSearch.h"
#include "platform/Text.h"
#include "platform/win32/Owned.h"
#include "resources/Names.h"
#include "ui/win32/ErrorDisplay.h"
#include "ui/win32/Window.h"
#include "ui/win32/WindowText.h"

// A test build takes the ANSI windows of Windows 98/Me on any system, so that
// the Wine beds, which all have the Unicode ones, run that path too.
#ifdef UPDATER_ANSI_WINDOWS
constexpr bool kAnsiWindowsOnly = true;
#else
constexpr bool kAnsiWindowsOnly = false;
#endif

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
    // Before anything that may load a DLL.
    LimitDllSearchToSystem();

    // Paths, listed names and typed text come in the system's code page:
    // its lead bytes, not Shift-JIS's, tell where a "\" is a separator.
    SetSystemCodePage(CodePage::FromSystem(GetACP(), [](unsigned char c) { return IsDBCSLeadByte(c) != FALSE; }));
    // Before any window or text: each is made and shown in the one mode.
    DecideWindowMode(kAnsiWindowsOnly);

    // A stale code from start-up must not pass for "already exists".
    SetLastError(0);
    OwnedHeldMutex mutex(CreateMutexA(nullptr, TRUE, names::kMutexName));
    // Any error at all, not only ERROR_ALREADY_EXISTS, means another copy
    // may be running: leave silently. A mutex that copy holds is not ours to
    // release, and releasing it fails harmlessly.
    if (GetLastError() != 0) return 1;

    Error failed = CreateMainWindow(instance);
    if (!failed) failed = CreateLocateDialog(instance, Form1.window);
    if (failed) {
        ShowError(Form1.window, failed);
    } else {
        ShowMainWindow(showCommand);
        RunMessageLoop();
    }
    return 0;
}
