// Decodes a payload container into a byte sink.
#pragma once

#include <stdint.h>

#include "platform/ByteStream.h"
#include "platform/Error.h"

// Container, multi-byte fields little-endian:
//   offset 0, 2 bytes  magic "YP" (written by the packer, never required)
//   offset 2, 3 bytes  unpackedSize: length of the decoded file
//   offset 5, 3 bytes  packedSize: length of the coded stream after the header
//   offset 8           coded stream: groups of one flag byte and eight items,
//                      the first item under bit 7. Bit clear: one literal byte.
//                      Bit set: a match B1 B2, length LengthTable[B1 & 0x0F],
//                      distance (B1 >> 4) + 16 * B2 into the history ring.
//                      Distance 0 reaches a whole ring back; the ring starts
//                      out as zeros, so matches before the start copy zeros.
constexpr uint32_t kContainerHeaderSize = 8;
constexpr uint32_t kMaxUnpackedSize = 0xFFFFFF;
constexpr uint32_t kMaxPackedSize = 0xFFFFFF;
constexpr uint32_t kGroupItems = 8;
constexpr uint32_t kMaxMatchDistance = 4095;
constexpr uint32_t kLengthCount = 16;
extern const uint8_t LengthTable[kLengthCount];

constexpr uint32_t kGroupsPerTraceStep = 256;

// Told of a decode's progress: once every kGroupsPerTraceStep groups.
class DecodeTrace {
public:
    virtual void Step() = 0;

protected:
    ~DecodeTrace() = default;
};

// One "." on standard error per step: the updater's progress trace.
DecodeTrace& StderrDots();

// Decodes the whole container that resource holds and appends exactly
// unpackedSize bytes to output, in 16384-byte blocks and one shorter tail.
// A container whose header promises more bytes than the resource has, or
// whose decoded file needs coded bytes past the resource's end, fails with
// the damaged-resource error naming resourceName, and nothing more is
// appended. Errors from output come back unchanged. Without a trace the
// decode is silent.
Error DecodeResource(ByteSource& resource, ByteSink& output, const char* resourceName,
                     DecodeTrace* trace = nullptr);

