// The payload's checksum: the guard between a decoded file and the disk.
#pragma once

#include <stdint.h>

#include "platform/Error.h"

// The checksum resource holds 4 bytes: the CRC-32 of the unpacked file,
// little-endian, as zlib's crc32 computes it (reflected polynomial
// 0xEDB88320, all ones in and out).
constexpr uint32_t kChecksumSize = 4;

// Continues crc over size more bytes; 0 starts a new one.
uint32_t Crc32(const uint8_t* data, uint32_t size, uint32_t crc = 0);

// Whether decoded may be written. checksum is the checksum resource's bytes,
// or null when the program carries none (an updater from before checksums:
// nothing to compare). A resource of another length, or a CRC that differs,
// fails with the damaged-resource error naming resourceName.
Error CheckDecoded(const uint8_t* decoded, uint32_t size, const uint8_t* checksum,
                   uint32_t checksumSize, const char* resourceName);
