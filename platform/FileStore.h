// The file operations that replace one file with another: plain outcomes only.
#pragma once

#include <stdint.h>

enum class FileKind { kMissing, kFile, kReadOnlyFile, kOther };
enum class CreateStatus { kOk, kExists, kFailed };
// kBusy: someone (a virus scanner, typically) holds one of the files for a
// moment; the same move may well work a little later.
enum class MoveStatus { kOk, kUnsupported, kBusy, kFailed };

// The attribute bits a replaced file passes on to its successor, with the
// system's values: hidden, system, archive. Read-only is refused instead.
constexpr uint32_t kAttributeHidden = 0x2;
constexpr uint32_t kAttributeSystem = 0x4;
constexpr uint32_t kAttributeArchive = 0x20;
constexpr uint32_t kPassedOnAttributes = kAttributeHidden | kAttributeSystem | kAttributeArchive;

// At most one file is open for writing at a time; the adapter closes it when
// it is destroyed.
class FileStore {
public:
    virtual ~FileStore() = default;
    // kOther: a folder, a device, or anything that cannot be told apart.
    // attributes (may be null) receives a file's kPassedOnAttributes bits.
    virtual FileKind Kind(const char* path, uint32_t* attributes) = 0;
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
    // Sets a closed file's kPassedOnAttributes bits; 0 clears them.
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
