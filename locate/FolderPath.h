// Folder paths in CP932: their roots, the folders on the way down, joining.
#pragma once

#include <stddef.h>

// Windows paths never exceed this, terminator included.
constexpr size_t kPathCapacity = 260;

// Length of the part of path that names no folder of its own: "C:\" gives 3,
// "C:" 2, "\" 1, "\\server\share\" its whole length, a relative path 0.
size_t RootLength(const char* path);

// True for "X:\..." and "\\server\share...": paths that mean the same
// folder whatever the current drive and folder are.
bool IsFullPath(const char* path);

// One step of a path: the folder it names is path[0, end), shown as
// path[start, end). The root is the first step when there is one.
struct PathStep {
    size_t start;
    size_t end;
};

// Fills steps with the folders from the root down to path itself (trailing
// separators ignored) and returns how many there are; at most capacity are
// written, and a deeper path reports the full count.
size_t PathSteps(const char* path, PathStep* steps, size_t capacity);

// out = folder + "\" + name, with no second separator when folder already
// ends in one. False (out cut at a whole character) when it does not fit.
bool JoinPath(char* out, size_t capacity, const char* folder, const char* name);

// The install record's form of a folder: the folder as it was given followed
// by one "\", nothing else added or removed ("D:\" gives "D:\\").
bool FolderRecordValue(char* out, size_t capacity, const char* folder);
