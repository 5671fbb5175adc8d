// Win32 file calls for the replace steps, reporting plain outcomes.
#include "platform/win32/Win32FileStore.h"

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

}  // namespace

Win32FileStore::~Win32FileStore() {
    Close();
}

FileKind Win32FileStore::Kind(const char* path, uint32_t* kept) {
    if (kept) *kept = 0;
    DWORD attributes = GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        DWORD error = GetLastError();
        bool missing = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
        return missing ? FileKind::kMissing : FileKind::kOther;
    }
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) return FileKind::kOther;
    if (attributes & FILE_ATTRIBUTE_READONLY) return FileKind::kReadOnlyFile;
    if (kept) *kept = attributes & kPassedOnAttributes;
    return FileKind::kFile;
}

bool Win32FileStore::CanOpenExclusively(const char* path) {
    HANDLE probe = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
    if (probe == INVALID_HANDLE_VALUE) return false;
    CloseHandle(probe);
    return true;
}

CreateStatus Win32FileStore::CreateNew(const char* path) {
    if (file_ != INVALID_HANDLE_VALUE) return CreateStatus::kFailed;
    file_ = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file_ != INVALID_HANDLE_VALUE) return CreateStatus::kOk;
    DWORD error = GetLastError();
    bool exists = error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS;
    return exists ? CreateStatus::kExists : CreateStatus::kFailed;
}

bool Win32FileStore::Write(const void* data, uint32_t size, uint32_t* written) {
    DWORD count = 0;
    BOOL ok = WriteFile(file_, data, size, &count, nullptr);
    *written = count;
    return ok != FALSE;
}

bool Win32FileStore::Flush() {
    return FlushFileBuffers(file_) != FALSE;
}

bool Win32FileStore::Close() {
    if (file_ == INVALID_HANDLE_VALUE) return false;
    BOOL ok = CloseHandle(file_);
    file_ = INVALID_HANDLE_VALUE;
    return ok != FALSE;
}

bool Win32FileStore::SetAttributes(const char* path, uint32_t attributes) {
    // NORMAL stands alone: it is how "none of them" is said.
    DWORD value = attributes & kPassedOnAttributes;
    return SetFileAttributesA(path, value ? value : FILE_ATTRIBUTE_NORMAL) != FALSE;
}

MoveStatus Win32FileStore::MoveReplacing(const char* from, const char* to) {
    MoveFileExFunction moveFileEx = FindMoveFileEx();
    if (!moveFileEx) return MoveStatus::kUnsupported;
    if (moveFileEx(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        return MoveStatus::kOk;
    }
    switch (GetLastError()) {
    case ERROR_CALL_NOT_IMPLEMENTED:
        return MoveStatus::kUnsupported;
    case ERROR_SHARING_VIOLATION:
    case ERROR_ACCESS_DENIED:
        return MoveStatus::kBusy;
    }
    return MoveStatus::kFailed;
}

bool Win32FileStore::Rename(const char* from, const char* to) {
    return MoveFileA(from, to) != FALSE;
}

bool Win32FileStore::Remove(const char* path) {
    return DeleteFileA(path) != FALSE;
}

void Win32FileStore::Pause(uint32_t milliseconds) {
    Sleep(milliseconds);
}
