// The update operation: the payload decoded whole and checked before anything
// on disk is touched, then the game's file replaced.
#pragma once

#include <stdint.h>

#include "platform/ByteStream.h"
#include "platform/Error.h"
#include "platform/FileSystem.h"

// Decodes container (the resource containerName) in memory, checks the result
// against checksum (the resource "EXECRC") when the program carries one, then
// replaces targetPath with it. A damaged payload or checksum resource fails
// before the file system is asked anything; any later failure leaves the old
// file as it was (ReplaceFileContents).
Error UpdateFile(FileSystem& fs, const char* targetPath, ByteSource& container, const char* containerName,
                 const ResourceBytes& checksum);
