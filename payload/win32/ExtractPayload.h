// The start button's work: the program's own payload written over the game.
#pragma once

#include "platform/Error.h"

// Decodes the program's own RCDATA resource resourceName, checks it against
// the RCDATA "EXECRC" when the program carries one, then replaces the file at
// targetPath with it. Errors are those of UpdateFile.
Error ExtractPayload(const char* resourceName, const char* targetPath);
