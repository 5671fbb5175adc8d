// Listings, drive types and folder identities from the Win32 file API.
#include "platform/win32/Win32FileSystem.h"

#include <windows.h>
#include <string.h>

#include "platform/Cp932.h"
#include "platform/win32/Owned.h"

namespace {

void CopyEntry(const WIN32_FIND_DATAA& found, FolderEntry& entry) {
    static_assert(sizeof entry.name >= sizeof found.cFileName, "a listed name always fits");
    memcpy(entry.name, found.cFileName, sizeof found.cFileName);
    entry.name[sizeof entry.name - 1] = '\0';
    entry.attributes = found.dwFileAttributes;
}

HANDLE FindHandle(const FolderListing& listing) {
    return reinterpret_cast<HANDLE>(listing.handle);
}

}  // namespace

DriveType Win32FileSystem::TypeOfDrive(char letter) {
    // The documented root form: "X:" alone names the drive's current folder.
    const char root[] = {letter, ':', '\\', '\0'};
    UINT type = GetDriveTypeA(root);
    return type <= static_cast<UINT>(DriveType::kRamDisk) ? static_cast<DriveType>(type)
                                                           : DriveType::kUnknown;
}

bool Win32FileSystem::OpenListing(const char* pattern, FolderListing& listing, FolderEntry& first) {
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA(pattern, &found);
    if (find == INVALID_HANDLE_VALUE) return false;
    listing.handle = reinterpret_cast<intptr_t>(find);
    CopyEntry(found, first);
    return true;
}

bool Win32FileSystem::NextEntry(FolderListing& listing, FolderEntry& next) {
    WIN32_FIND_DATAA found;
    if (!FindNextFileA(FindHandle(listing), &found)) return false;
    CopyEntry(found, next);
    return true;
}

void Win32FileSystem::CloseListing(FolderListing& listing) {
    if (FindHandle(listing) != INVALID_HANDLE_VALUE) FindClose(FindHandle(listing));
    listing.handle = reinterpret_cast<intptr_t>(INVALID_HANDLE_VALUE);
}

bool Win32FileSystem::IdentityOf(const char* folder, FolderIdentity& identity) {
    // Asked by trying, not by version: Windows 98/Me cannot open a folder and
    // fail here, while a newer system in 98 compatibility mode, which reports
    // version 4.10, has links and so must answer.
    // "X:" would open the volume, not its root folder.
    char path[MAX_PATH + 1];
    TextBuilder text(path, sizeof path);
    text.Append(folder);
    if (text.Length() == 2 && path[1] == ':') text.Append("\\");
    if (text.Overflowed()) return false;
    // Opening follows links, so a link and its target read the same.
    OwnedFile handle(CreateFileA(path, FILE_READ_ATTRIBUTES,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                 OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!handle.Valid()) return false;
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(handle.Get(), &info)) return false;
    // Some network redirectors give every folder index 0: that tells nothing,
    // and taken at its word it would pass siblings off as a cycle.
    if (info.nFileIndexHigh == 0 && info.nFileIndexLow == 0) return false;
    identity = {info.dwVolumeSerialNumber, info.nFileIndexHigh, info.nFileIndexLow};
    return true;
}
