// The file system seam over the Win32 "A" file functions, reporting plain
// outcomes.
#include "platform/win32/Win32FileSystem.h"

#include <string.h>

#include "platform/Path.h"
#include "platform/Text.h"
#include "platform/win32/MoveErrors.h"
#include "platform/win32/Owned.h"

static_assert(kErrorInvalidFunction == ERROR_INVALID_FUNCTION && kErrorAccessDenied == ERROR_ACCESS_DENIED &&
                  kErrorSharingViolation == ERROR_SHARING_VIOLATION && kErrorNotSupported == ERROR_NOT_SUPPORTED &&
                  kErrorCallNotImplemented == ERROR_CALL_NOT_IMPLEMENTED,
              "the system's own codes");

namespace {

using MoveFileExFunction = BOOL(WINAPI*)(LPCSTR from, LPCSTR to, DWORD flags);

// Importing MoveFileExA would be flagged on Windows 98/Me; it is looked up.
// Their kernel32 exports it as a stub that fails with "not implemented",
// which is what tells the rename path is needed: the version number does
// not (compatibility mode reports 98 on systems that have the move).
MoveFileExFunction FindMoveFileEx() {
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    if (!kernel) return nullptr;
    FARPROC proc = GetProcAddress(kernel, "MoveFileExA");
    return reinterpret_cast<MoveFileExFunction>(reinterpret_cast<void*>(proc));
}

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

Win32FileSystem::~Win32FileSystem() {
    Close();
}

PathKind Win32FileSystem::Probe(const char* path, uint32_t* attributes) {
    if (attributes) *attributes = 0;
    // A trailing "\" is dropped (a root keeps its own): the folder is the
    // same, and the plain name is the form every Windows version accepts.
    char plain[kPathCapacity];
    size_t length = strlen(path);
    if (length >= sizeof plain) return PathKind::kOther;
    memcpy(plain, path, length + 1);
    if (length > 3 && EndsWithBackslash(plain)) plain[length - 1] = '\0';

    // An empty floppy or CD drive must answer, not put up the system's
    // "drive not ready" box.
    DWORD found;
    DWORD error;
    {
        ErrorModeScope noDriveBox(SEM_FAILCRITICALERRORS);
        found = GetFileAttributesA(plain);
        error = GetLastError();
    }
    if (found == INVALID_FILE_ATTRIBUTES) {
        bool missing = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
        return missing ? PathKind::kMissing : PathKind::kOther;
    }
    if (attributes) *attributes = found;
    return (found & FILE_ATTRIBUTE_DIRECTORY) ? PathKind::kFolder : PathKind::kFile;
}

bool Win32FileSystem::CreateFolder(const char* path) {
    return CreateDirectoryA(path, nullptr) != FALSE;
}

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
    char path[kPathCapacity + 1];
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

bool Win32FileSystem::CanOpenExclusively(const char* path) {
    HANDLE probe = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
    if (probe == INVALID_HANDLE_VALUE) return false;
    CloseHandle(probe);
    return true;
}

CreateStatus Win32FileSystem::CreateNew(const char* path) {
    if (file_ != INVALID_HANDLE_VALUE) return CreateStatus::kFailed;
    file_ = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file_ != INVALID_HANDLE_VALUE) return CreateStatus::kOk;
    DWORD error = GetLastError();
    bool exists = error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS;
    return exists ? CreateStatus::kExists : CreateStatus::kFailed;
}

bool Win32FileSystem::Write(const void* data, uint32_t size, uint32_t* written) {
    DWORD count = 0;
    BOOL ok = WriteFile(file_, data, size, &count, nullptr);
    *written = count;
    return ok != FALSE;
}

bool Win32FileSystem::Flush() {
    return FlushFileBuffers(file_) != FALSE;
}

bool Win32FileSystem::Close() {
    if (file_ == INVALID_HANDLE_VALUE) return false;
    BOOL ok = CloseHandle(file_);
    file_ = INVALID_HANDLE_VALUE;
    return ok != FALSE;
}

bool Win32FileSystem::SetAttributes(const char* path, uint32_t attributes) {
    constexpr DWORD kSettable = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE;
    // NORMAL stands alone: it is how "none of them" is said.
    DWORD value = attributes & kSettable;
    return SetFileAttributesA(path, value ? value : FILE_ATTRIBUTE_NORMAL) != FALSE;
}

MoveStatus Win32FileSystem::MoveReplacing(const char* from, const char* to) {
    MoveFileExFunction moveFileEx = FindMoveFileEx();
    if (!moveFileEx) return MoveStatus::kUnsupported;
    if (moveFileEx(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        return MoveStatus::kOk;
    }
    return MoveStatusOfError(GetLastError());
}

bool Win32FileSystem::Rename(const char* from, const char* to) {
    return MoveFileA(from, to) != FALSE;
}

bool Win32FileSystem::Remove(const char* path) {
    return DeleteFileA(path) != FALSE;
}

void Win32FileSystem::Pause(uint32_t milliseconds) {
    Sleep(milliseconds);
}
