// The file seam of the replace steps over the Win32 file functions.
#pragma once

#include <windows.h>

#include "platform/FileStore.h"

class Win32FileStore : public FileStore {
public:
    Win32FileStore() = default;
    ~Win32FileStore() override;
    Win32FileStore(const Win32FileStore&) = delete;
    Win32FileStore& operator=(const Win32FileStore&) = delete;

    FileKind Kind(const char* path, uint32_t* kept) override;
    bool CanOpenExclusively(const char* path) override;
    CreateStatus CreateNew(const char* path) override;
    bool Write(const void* data, uint32_t size, uint32_t* written) override;
    bool Flush() override;
    bool Close() override;
    bool SetAttributes(const char* path, uint32_t attributes) override;
    MoveStatus MoveReplacing(const char* from, const char* to) override;
    bool Rename(const char* from, const char* to) override;
    bool Remove(const char* path) override;
    void Pause(uint32_t milliseconds) override;

private:
    // Not an owner type: Close must see CloseHandle's own outcome.
    HANDLE file_ = INVALID_HANDLE_VALUE;
};
