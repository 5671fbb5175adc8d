// Saves new contents over a file so that no failure can cost the old one.
#pragma once

#include <stdint.h>

#include "platform/Error.h"
#include "platform/FileStore.h"

// Writes bytes to a new file beside targetPath, flushed to disk, then puts it
// in the target's place; a missing target is created. On any error the old
// file is left exactly as it was and no other file remains.
Error ReplaceFileContents(FileStore& store, const char* targetPath, const void* bytes,
                          uint32_t size);
