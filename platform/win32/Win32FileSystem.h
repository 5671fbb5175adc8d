// The search's file system seam over FindFirstFileA and GetDriveTypeA.
#pragma once

#include "platform/FileSystem.h"

class Win32FileSystem : public FileSystem {
public:
    DriveType TypeOfDrive(char letter) override;
    bool OpenListing(const char* pattern, FolderListing& listing, FolderEntry& first) override;
    bool NextEntry(FolderListing& listing, FolderEntry& next) override;
    void CloseListing(FolderListing& listing) override;
    bool IdentityOf(const char* folder, FolderIdentity& identity) override;
};
