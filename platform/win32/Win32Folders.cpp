// The folder seam over the Win32 file functions.
#include "platform/win32/Win32Folders.h"

#include <windows.h>

PathKind Win32Folders::Probe(const char* path) {
    // An empty floppy or CD drive must answer "missing", not put up the
    // system's "drive not ready" box.
    UINT oldMode = SetErrorMode(SEM_FAILCRITICALERRORS);
    DWORD attributes = GetFileAttributesA(path);
    SetErrorMode(oldMode);
    if (attributes == INVALID_FILE_ATTRIBUTES) return PathKind::kMissing;
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? PathKind::kFolder : PathKind::kFile;
}

bool Win32Folders::CreateFolder(const char* path) {
    return CreateDirectoryA(path, nullptr) != FALSE;
}
