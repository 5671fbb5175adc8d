// Saves new contents over a file so that no failure can cost the old one.
#pragma once

#include <stdint.h>

#include "platform/Error.h"
#include "platform/FileSystem.h"

// A virus scanner that opens the fresh file holds it for a moment: the final
// move is tried again at this pace, up to this many times (about 2 s).
constexpr uint32_t kMoveRetryPauseMs = 100;
constexpr int kMoveTries = 20;

// The attribute bits a replaced file passes on to its successor: hidden and
// system. Read-only is refused instead; the new file is always marked for
// backup (archive).
constexpr uint32_t kPassedOnAttributes = kAttributeHidden | kAttributeSystem;

// Writes bytes to a new file beside targetPath, flushed to disk, then puts it
// in the target's place; a missing target is created, an existing one passes
// its hidden and system attributes on. Unfinished new files an interrupted
// earlier run left behind are cleared first, its backups of the old file
// only once the new one is in place. On any error the old file is left as it
// was and no file of this run remains, except where the old file could not
// be put back: the error then names the backup that holds it.
Error ReplaceFileContents(FileSystem& fs, const char* targetPath, const void* bytes,
                          uint32_t size);
