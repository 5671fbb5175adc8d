// What the manual folder choice asks of the file system: plain outcomes only.
#pragma once

enum class PathKind { kMissing, kFile, kFolder };

class Folders {
public:
    virtual ~Folders() = default;
    // Anything that cannot be looked up (bad name, unreadable drive) is kMissing.
    virtual PathKind Probe(const char* path) = 0;
    // Creates one folder whose parent exists; false when that fails.
    virtual bool CreateFolder(const char* path) = 0;
};
