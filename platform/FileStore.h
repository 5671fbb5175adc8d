// The file operations that replace one file with another: plain outcomes only.
#pragma once

#include <stdint.h>

enum class FileKind { kMissing, kFile, kReadOnlyFile, kOther };
enum class CreateStatus { kOk, kExists, kFailed };
enum class MoveStatus { kOk, kUnsupported, kFailed };

// At most one file is open for writing at a time; the adapter closes it when
// it is destroyed.
class FileStore {
public:
    virtual ~FileStore() = default;
    // kOther: a folder, a device, or anything that cannot be told apart.
    virtual FileKind Kind(const char* path) = 0;
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
    // Puts from in place of to in one step, replacing to, with the data on
    // disk before it returns. kUnsupported where the system cannot do that.
    virtual MoveStatus MoveReplacing(const char* from, const char* to) = 0;
    // Renames from to a name that must not exist yet.
    virtual bool Rename(const char* from, const char* to) = 0;
    virtual bool Remove(const char* path) = 0;
};
