// The file system as the program sees it: what is at a path, folder listings,
// drive types and identities, and the calls that replace one file with
// another. Plain outcomes only; the adapter reports, portable code decides.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "platform/Path.h"

// Attribute bits, with the system's values.
constexpr uint32_t kAttributeReadOnly = 0x1;
constexpr uint32_t kAttributeHidden = 0x2;
constexpr uint32_t kAttributeSystem = 0x4;
constexpr uint32_t kAttributeDirectory = 0x10;
constexpr uint32_t kAttributeArchive = 0x20;
constexpr uint32_t kAttributeReparsePoint = 0x400;

// kOther: a device, or a path that cannot be looked up (a bad name, a drive
// without a disk, no access) and so cannot be told apart.
enum class PathKind { kMissing, kFile, kFolder, kOther };
enum class CreateStatus { kOk, kExists, kFailed };
// kBusy: someone (a virus scanner, typically) holds one of the files for a
// moment; the same move may well work a little later.
enum class MoveStatus { kOk, kUnsupported, kBusy, kFailed };

struct FolderEntry {
    char name[kPathCapacity];
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

// At most one file is open for writing at a time; the adapter closes it when
// it is destroyed.
class FileSystem {
public:
    virtual ~FileSystem() = default;

    // What is at path; a trailing "\" names the same thing. attributes (may
    // be null) receives the attribute bits of a file or folder, 0 otherwise.
    virtual PathKind Probe(const char* path, uint32_t* attributes) = 0;

    // Folders.
    // Creates one folder whose parent exists; false when that fails.
    virtual bool CreateFolder(const char* path) = 0;
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

    // Replacing a file.
    // True when the file can be opened for reading and writing with no
    // sharing, i.e. nobody else holds it open; it is closed again at once.
    virtual bool CanOpenExclusively(const char* path) = 0;
    // Creates a file that must not exist yet and keeps it open for writing.
    virtual CreateStatus CreateNew(const char* path) = 0;
    // Writes to the open file; written receives the count the disk took.
    virtual bool Write(const void* data, uint32_t size, uint32_t* written) = 0;
    // Pushes the open file's data to the disk.
    virtual bool Flush() = 0;
    virtual bool Close() = 0;
    // Sets a closed file's hidden, system and archive bits to those given.
    virtual bool SetAttributes(const char* path, uint32_t attributes) = 0;
    // Puts from in place of to in one step, replacing to, with the data on
    // disk before it returns. kUnsupported where the system cannot do that.
    virtual MoveStatus MoveReplacing(const char* from, const char* to) = 0;
    // Renames from to a name that must not exist yet.
    virtual bool Rename(const char* from, const char* to) = 0;
    // Removes a file; never a folder.
    virtual bool Remove(const char* path) = 0;
    // Waits before a retry.
    virtual void Pause(uint32_t milliseconds) = 0;
};
