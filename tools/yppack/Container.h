// The packer's view of a container: header fields, in-memory streams, and a
// decode through the updater's own decoder.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "payload/PayloadDecoder.h"
#include "platform/ByteStream.h"

namespace yppack {

using Bytes = std::vector<uint8_t>;

// What the packer refuses or cannot do, with the message the user sees.
class Failure : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct Header {
    uint8_t magic[2];
    uint32_t unpackedSize;
    uint32_t packedSize;
};

constexpr uint8_t kMagic[2] = {'Y', 'P'};

// Throws Failure when the container is shorter than its header.
Header ReadHeader(const Bytes& container);
void WriteHeader(uint8_t* dst, uint32_t unpackedSize, uint32_t packedSize);

class VectorSink : public ByteSink {
public:
    Error Append(const void* src, uint32_t count) override;
    Bytes bytes;
};

// Decodes with the updater's decoder; a damaged container throws Failure.
Bytes Unpack(const Bytes& container);

}  // namespace yppack
