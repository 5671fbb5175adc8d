// The byte streams the decoder reads from and writes to.
#pragma once

#include <stdint.h>

#include "platform/Error.h"

// A readable stream over a whole resource: a read delivers up to count bytes,
// fewer or none at the end, and never fails.
class ByteSource {
public:
    virtual ~ByteSource() = default;
    virtual uint32_t Read(void* dst, uint32_t count) = 0;
    virtual uint32_t Size() const = 0;  // the resource's whole length
};

// An appendable stream: takes all bytes offered or reports why not.
class ByteSink {
public:
    virtual ~ByteSink() = default;
    virtual Error Append(const void* src, uint32_t count) = 0;
};
