// Folder listings, drive types and folder identities, as the search sees them.
#pragma once

#include <stddef.h>
#include <stdint.h>

// Room for one listed name, terminator included (the system's MAX_PATH).
constexpr size_t kEntryNameCapacity = 260;

// The attribute bits the walk looks at, with the system's values.
constexpr uint32_t kAttributeDirectory = 0x10;
constexpr uint32_t kAttributeReparsePoint = 0x400;

struct FolderEntry {
    char name[kEntryNameCapacity];
    uint32_t attributes;
};

// One open listing; the walk keeps one per level of depth on its stack.
struct FolderListing {
    intptr_t handle = -1;
};

// The system's drive type codes.
enum class DriveType : unsigned {
    kUnknown = 0,
    kNoRootDir = 1,
    kRemovable = 2,
    kFixed = 3,
    kRemote = 4,
    kCdRom = 5,
    kRamDisk = 6,
};

// Two folders are the same folder when their identities are equal, whichever
// path (link) led to them.
struct FolderIdentity {
    uint32_t volume;
    uint32_t indexHigh;
    uint32_t indexLow;
};
inline bool operator==(const FolderIdentity& a, const FolderIdentity& b) {
    return a.volume == b.volume && a.indexHigh == b.indexHigh && a.indexLow == b.indexLow;
}

class FileSystem {
public:
    virtual ~FileSystem() = default;
    // Type of the drive whose name is the letter and a colon.
    virtual DriveType TypeOfDrive(char letter) = 0;
    // Starts listing entries of every attribute that match pattern (a folder
    // and "\*.*"), and returns the first one. False when the listing cannot
    // be started: the folder is gone, unreadable, or the path too long.
    virtual bool OpenListing(const char* pattern, FolderListing& listing, FolderEntry& first) = 0;
    // False when the listing has no more entries.
    virtual bool NextEntry(FolderListing& listing, FolderEntry& next) = 0;
    virtual void CloseListing(FolderListing& listing) = 0;
    // False where the system cannot tell a folder's identity.
    virtual bool IdentityOf(const char* folder, FolderIdentity& identity) = 0;
};
