// DLL search limited to the system folder, where the system offers it.
#include "platform/win32/DllSearch.h"

#include <windows.h>

namespace {

// Newer than the headers this program is built against.
constexpr DWORD kLoadLibrarySearchSystem32 = 0x00000800;

using SetDefaultDllDirectoriesFunction = BOOL(WINAPI*)(DWORD flags);
using SetDllDirectoryFunction = BOOL(WINAPI*)(LPCSTR path);

}  // namespace

void LimitDllSearchToSystem() {
    // Both are looked up in kernel32, which every process already has: a
    // LoadLibrary of a bare name is exactly what a planted DLL waits for,
    // and importing them would keep the program from loading on Windows 98.
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    if (!kernel) return;
    // Windows 8 and later, and 7 with KB2533623.
    auto setDefault = reinterpret_cast<SetDefaultDllDirectoriesFunction>(
        reinterpret_cast<void*>(GetProcAddress(kernel, "SetDefaultDllDirectories")));
    if (setDefault) setDefault(kLoadLibrarySearchSystem32);
    // XP SP1 and later: "" takes the current folder out of the search.
    auto setDirectory = reinterpret_cast<SetDllDirectoryFunction>(
        reinterpret_cast<void*>(GetProcAddress(kernel, "SetDllDirectoryA")));
    if (setDirectory) setDirectory("");
}
