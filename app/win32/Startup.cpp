// Where the process starts, in place of the C runtime's start-up code: that
// code brings thread-local storage callbacks, unwind tables, argument
// parsing and a dozen imports this program has no use for, some 3 KB, and
// the room is better spent on relocations (address space randomisation).
// The C runtime DLL's own functions need no start-up call of ours.
#include <windows.h>

// Static destructors are registered but never run: the process ends with
// ExitProcess and the system frees what they held. The C runtime's own
// atexit would need its start-up code (on x64 even to be called at all).
extern "C" int atexit(void (*)()) {
    return 0;
}

// The linker's list of the static constructors: a count or -1, the
// constructors, then a null.
extern "C" void (*__CTOR_LIST__[])();

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
