// Win32 file calls for the replace steps, reporting plain outcomes.
#include "platform/win32/Win32FileStore.h"

namespace {

using MoveFileExFunction = BOOL(WINAPI*)(LPCSTR from, LPCSTR to, DWORD flags);

// Windows 98/Me export MoveFileExA as a stub that only fails, and importing
// it would be flagged; it is looked up on NT alone.
MoveFileExFunction FindMoveFileEx() {
    if (GetVersion() & 0x80000000) return nullptr;
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    if (!kernel) return nullptr;
    FARPROC proc = GetProcAddress(kernel, "MoveFileExA");
    return reinterpret_cast<MoveFileExFunction>(reinterpret_cast<void*>(proc));
}

}  // namespace

Win32FileStore::~Win32FileStore() {
    Close();
}

FileKind Win32FileStore::Kind(const char* path) {
    DWORD attributes = GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        DWORD error = GetLastError();
        bool missing = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
        return missing ? FileKind::kMissing : FileKind::kOther;
    }
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) return FileKind::kOther;
    if (attributes & FILE_ATTRIBUTE_READONLY) return FileKind::kReadOnlyFile;
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

MoveStatus Win32FileStore::MoveReplacing(const char* from, const char* to) {
    MoveFileExFunction moveFileEx = FindMoveFileEx();
    if (!moveFileEx) return MoveStatus::kUnsupported;
    if (moveFileEx(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        return MoveStatus::kOk;
    }
    return GetLastError() == ERROR_CALL_NOT_IMPLEMENTED ? MoveStatus::kUnsupported
                                                        : MoveStatus::kFailed;
}

bool Win32FileStore::Rename(const char* from, const char* to) {
    return MoveFileA(from, to) != FALSE;
}

bool Win32FileStore::Remove(const char* path) {
    return DeleteFileA(path) != FALSE;
}
