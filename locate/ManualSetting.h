// The manual choice of the install folder, after the folder picker accepted.
#pragma once

#include "platform/Error.h"
#include "platform/FileSystem.h"
#include "platform/Registry.h"

// Creates path and its missing parents. Stops at the first folder that cannot
// be made; false then.
bool CreateFolderWithParents(FileSystem& fs, const char* path);

enum class ManualOutcome { kStored, kNotGameFolder };

// Makes sure the chosen folder exists (a path that is not full, "" among
// them, is an error and nothing is made), then
// stores it as the install folder if it holds the marker file. A failed
// creation is not reported: the folder then simply lacks the marker.
Error ApplyManualChoice(FileSystem& fs, Registry& registry, const char* chosen,
                        ManualOutcome* outcome);
