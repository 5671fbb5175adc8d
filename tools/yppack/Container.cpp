// Header fields, memory streams and decoding for the packer.
#include "tools/yppack/Container.h"

#include <string.h>

#include "resources/Names.h"

namespace yppack {

Header ReadHeader(const Bytes& container) {
    if (container.size() < kContainerHeaderSize) {
        throw Failure("container is shorter than its 8-byte header");
    }
    const uint8_t* p = container.data();
    Header h;
    h.magic[0] = p[0];
    h.magic[1] = p[1];
    h.unpackedSize = p[2] | p[3] << 8 | p[4] << 16;
    h.packedSize = p[5] | p[6] << 8 | p[7] << 16;
    return h;
}

void WriteHeader(uint8_t* dst, uint32_t unpackedSize, uint32_t packedSize) {
    dst[0] = kMagic[0];
    dst[1] = kMagic[1];
    for (int i = 0; i < 3; ++i) {
        dst[2 + i] = static_cast<uint8_t>(unpackedSize >> (8 * i));
        dst[5 + i] = static_cast<uint8_t>(packedSize >> (8 * i));
    }
}

Error VectorSink::Append(const void* src, uint32_t count) {
    const uint8_t* p = static_cast<const uint8_t*>(src);
    bytes.insert(bytes.end(), p, p + count);
    return {};
}

Bytes Unpack(const Bytes& container) {
    if (container.size() > 0xFFFFFFFFu) throw Failure("container is larger than 4 GiB");
    MemorySource source(container.data(), static_cast<uint32_t>(container.size()));
    VectorSink sink;
    if (Error e = DecodeResource(source, sink, names::kPayloadResource)) {
        throw Failure("container is damaged or truncated");
    }
    return std::move(sink.bytes);
}

}  // namespace yppack
