// The install location record: GameDir under HKCU\Software\Brackwen\KESTRAVON.
#pragma once

#include <stddef.h>

#include "platform/Error.h"
#include "platform/Path.h"
#include "platform/Registry.h"

// Reads the folder (at most kPathCapacity bytes) into out; a missing subkey, a missing value and an empty
// value all read as "". On an error out is left as it was.
Error ReadInstallDir(Registry& registry, char* out, size_t capacity);

// Stores dir as it is (callers pass the folder followed by one "\").
Error StoreInstallDir(Registry& registry, const char* dir);

// The record's form of a folder: the folder as it was given followed by one
// "\", nothing else added or removed ("D:\" gives "D:\\").
bool FolderRecordValue(char* out, size_t capacity, const char* folder);
