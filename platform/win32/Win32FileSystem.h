// The file system seam over the Win32 "A" file functions.
#pragma once

#include <windows.h>

#include "platform/FileSystem.h"

class Win32FileSystem : public FileSystem {
public:
    Win32FileSystem() = default;
    ~Win32FileSystem() override;
    Win32FileSystem(const Win32FileSystem&) = delete;
    Win32FileSystem& operator=(const Win32FileSystem&) = delete;

    PathKind Probe(const char* path, uint32_t* attributes) override;
    bool CreateFolder(const char* path) override;
    DriveType TypeOfDrive(char letter) override;
    bool OpenListing(const char* pattern, FolderListing& listing, FolderEntry& first) override;
    bool NextEntry(FolderListing& listing, FolderEntry& next) override;
    void CloseListing(FolderListing& listing) override;
    bool IdentityOf(const char* folder, FolderIdentity& identity) override;
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
