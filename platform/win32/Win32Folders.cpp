// The folder seam over the Win32 file functions.
#include "platform/win32/Win32Folders.h"

#include <string.h>
#include <windows.h>

#include "platform/Cp932.h"
#include "platform/win32/Owned.h"

PathKind Win32Folders::Probe(const char* path) {
    // A trailing "\" is dropped (a root keeps its own): the folder is the
    // same, and the plain name is the form every Windows version accepts.
    char plain[MAX_PATH];
    size_t length = strlen(path);
    if (length >= sizeof plain) return PathKind::kMissing;
    memcpy(plain, path, length + 1);
    if (length > 3 && EndsWithBackslash(plain)) plain[length - 1] = '\0';

    // An empty floppy or CD drive must answer "missing", not put up the
    // system's "drive not ready" box.
    DWORD attributes;
    {
        ErrorModeScope noDriveBox(SEM_FAILCRITICALERRORS);
        attributes = GetFileAttributesA(plain);
    }
    if (attributes == INVALID_FILE_ATTRIBUTES) return PathKind::kMissing;
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? PathKind::kFolder : PathKind::kFile;
}

bool Win32Folders::CreateFolder(const char* path) {
    return CreateDirectoryA(path, nullptr) != FALSE;
}
