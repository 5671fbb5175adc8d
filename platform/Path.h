// Windows path rules for byte strings in the system's code page: roots, the
// folders on the way down, the last name, joining.
#pragma once

#include <stddef.h>

// The most bytes a path may take with its terminator: the system's MAX_PATH,
// all the "A" file functions accept.
constexpr size_t kPathCapacity = 260;
constexpr size_t kLongestPath = kPathCapacity - 1;

// Length of the part of path that names no folder of its own: "C:\" gives 3,
// "C:" 2, "\" 1, "\\server\share\" its whole length, a relative path 0.
size_t RootLength(const char* path);

// True for "X:\..." and "\\server\share...": paths that mean the same
// folder whatever the current drive and folder are.
bool IsFullPath(const char* path);

// True when path ends in '\' as a character of its own, not as a trail byte.
bool EndsWithBackslash(const char* path);

// Offset where the last name of path begins: after its last "\", "/" or ":".
size_t LastNameOffset(const char* path);

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
