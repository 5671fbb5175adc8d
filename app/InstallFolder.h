// The main window's rules for its copy of the install folder (InstallDir).
#pragma once

#include <stddef.h>

#include "locate/InstallRecord.h"
#include "platform/Error.h"
#include "platform/Path.h"
#include "platform/Registry.h"
#include "resources/Names.h"

// After the locate dialog's first showing: reads the record into installDir
// (kPathCapacity bytes) as the start-up read does. giveUp says that the
// record still holds no folder, so the main window has nothing to offer. On
// an error installDir is kept and giveUp stays false: the window stays.
Error RereadAfterFirstLocate(Registry& registry, char* installDir, bool* giveUp);

// After the change-destination showing: a folder in the record replaces
// installDir at once; an empty or unreadable record keeps it.
Error AdoptChangedFolder(Registry& registry, char* installDir);

constexpr size_t kUpdateTargetCapacity = kPathCapacity + 1 + sizeof names::kTargetFile;

// installDir followed by the game's file name, with a "\" between them when
// installDir lacks its closing one. An installDir that is empty or not a
// full path ("X:\..." or "\\server\share\...") is refused as no folder
// at all: the target would be found from whatever the current folder is.
Error UpdateTargetPath(const char* installDir, char* out, size_t capacity);
