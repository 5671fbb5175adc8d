// Program entry: one copy at a time, the two windows, the message loop.
#include <windows.h>

#include "app/win32/MainWindow.h"
#include "locate/win32/LocateDialog.h"
#include "platform/win32/DllSearch.h"
#include "platform/win32/Owned.h"
#include "resources/Names.h"
#include "ui/win32/ErrorDisplay.h"
#include "ui/win32/Window.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
    // Before anything that may load a DLL.
    LimitDllSearchToSystem();

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

// Static destructors are registered but never run: the process ends with
// ExitProcess and the system frees what they held. The C runtime's own
// atexit would need its start-up code (on x64 even to be called at all).
extern "C" int atexit(void (*)()) {
    return 0;
}

// The linker's list of the static constructors: a count or -1, the
// constructors, then a null.
extern "C" void (*__CTOR_LIST__[])();

// Where the process starts, in place of the C runtime's start-up code: that
// code brings thread-local storage callbacks, unwind tables, argument
// parsing and a dozen imports this program has no use for, some 3 KB, and
// the room is better spent on relocations (address space randomisation).
// The C runtime DLL's own functions need no start-up call of ours.
extern "C" void WinMainCRTStartup() {
    size_t count = 0;
    while (__CTOR_LIST__[count + 1]) ++count;
    for (size_t i = count; i > 0; --i) __CTOR_LIST__[i]();

    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    GetStartupInfoA(&startup);
    int show = (startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : SW_SHOWDEFAULT;
    // Static destructors would only free what the system frees anyway.
    ExitProcess(static_cast<UINT>(WinMain(GetModuleHandleA(nullptr), nullptr, nullptr, show)));
}
