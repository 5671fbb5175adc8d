// The update operation: the payload decoded whole and checked before anything
// on disk is touched, then the game's file replaced.
#pragma once

#include <stdint.h>

#include "payload/PayloadDecoder.h"
#include "platform/ByteStream.h"
#include "platform/Error.h"
#include "platform/FileSystem.h"

// Decodes container (the resource containerName) in memory, checks the result
// against checksum (the resource "EXECRC") when the program carries one, then
// replaces targetPath with it. A missing container is not found; one that
// cannot be loaded is damaged, as is a payload that does not decode or check
// and a checksum resource of the wrong size. Each fails before the file
// system is asked anything; any later failure leaves the old file as it was
// (ReplaceFileContents). trace, when given, hears the decoder's progress.
Error UpdateFile(FileSystem& fs, const char* targetPath, const ResourceBytes& container, const char* containerName,
                 const ResourceBytes& checksum, DecodeTrace* trace = nullptr);
