// The update operation's core: decodes a payload resource over a file.
#pragma once

#include "platform/Error.h"

// Decodes the program's own RCDATA resource resourceName in memory, checks it
// against the RCDATA "EXECRC" when the program carries one, then replaces the
// file at targetPath with it. On any error the old file is left
// as it was and no other file remains.
Error ExtractPayload(const char* resourceName, const char* targetPath);
