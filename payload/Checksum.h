// The payload's checksum: the guard between a decoded file and the disk.
#pragma once

#include <stdint.h>

#include "platform/ByteStream.h"
#include "platform/Error.h"

// The checksum resource holds 4 bytes: the CRC-32 of the unpacked file,
// little-endian, as zlib's crc32 computes it (reflected polynomial
// 0xEDB88320, all ones in and out).
constexpr uint32_t kChecksumSize = 4;

// Continues crc over size more bytes; 0 starts a new one.
uint32_t Crc32(const uint8_t* data, uint32_t size, uint32_t crc = 0);

// Whether the checksum resource can be compared with at all: one that is
// absent (an updater from before checksums) passes, one that is present but
// unreadable or of another length fails with the damaged-resource error
// naming checksumName, so that nothing goes unchecked by mistake.
Error CheckChecksumResource(const ResourceBytes& checksum, const char* checksumName);

// Whether decoded may be written: with a checksum resource that passed the
// check above, its CRC must match, else the damaged-resource error names
// decodedName, the resource it was decoded from.
Error CheckDecoded(const uint8_t* decoded, uint32_t size, const ResourceBytes& checksum, const char* decodedName);
