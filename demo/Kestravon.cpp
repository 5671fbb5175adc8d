// Stand-in for the game's executable: tells which build it is.
#include <windows.h>

#include <string.h>

#ifndef KESTRAVON_BUILD
#define KESTRAVON_BUILD "new"
#endif
#ifndef KESTRAVON_STAMP
#define KESTRAVON_STAMP "unstamped"
#endif

namespace {

constexpr char kIdentity[] = "Vesperlin kestravon.exe build: " KESTRAVON_BUILD " (" KESTRAVON_STAMP ")";

}  // namespace

// "--print" writes the line to standard output instead, so that a script can
// tell an installed build without a window to click away.
int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int) {
    if (strstr(commandLine, "--print")) {
        HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
        DWORD written = 0;
        WriteFile(out, kIdentity, sizeof kIdentity - 1, &written, nullptr);
        WriteFile(out, "\r\n", 2, &written, nullptr);
        return 0;
    }
    MessageBoxA(nullptr, kIdentity, "Vesperlin", MB_OK | MB_ICONINFORMATION);
    return 0;
}
