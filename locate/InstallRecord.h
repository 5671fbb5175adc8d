// The install location record: GameDir under HKCU\Software\Brackwen\KESTRAVON.
#pragma once

#include <stddef.h>

#include "platform/Error.h"
#include "platform/Registry.h"

constexpr size_t kInstallDirCapacity = 260;

// Reads the folder into out; a missing subkey, a missing value and an empty
// value all read as "". On an error out is left as it was.
Error ReadInstallDir(Registry& registry, char* out, size_t capacity);

// Stores dir as it is (callers pass the folder followed by one "\").
Error StoreInstallDir(Registry& registry, const char* dir);
