// The container decoder straight from the format, for the tests, fuzzers and
// benchmark to hold the updater's decoder to. Written apart from the
// product's: every byte one at a time, no buffers, no blocks.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <vector>

namespace reference {

using Bytes = std::vector<uint8_t>;

// Decodes container c into out. False when the container is damaged: shorter
// than its header or its packedSize, or an item begun before unpackedSize
// needs a byte past the end. Items past unpackedSize may be cut short; the
// magic is not looked at.
inline bool Decode(const uint8_t* c, size_t size, Bytes& out) {
    out.clear();
    if (size < 8) return false;
    uint32_t unpackedSize = c[2] | c[3] << 8 | c[4] << 16;
    uint32_t packedSize = c[5] | c[6] << 8 | c[7] << 16;
    if (packedSize + 8ull > size) return false;
    static const uint8_t lengths[16] = {3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 14, 16, 24, 32, 64, 128};
    std::vector<uint8_t> ring(16384, 0);
    uint32_t ringPos = 0;
    size_t pos = 8;
    auto at = [&](size_t k) { return k < size ? c[k] : 0; };  // dropped items only
    do {
        uint8_t flags = at(pos++);
        for (int item = 0; item < 8; ++item, flags <<= 1) {
            bool owed = out.size() < unpackedSize;
            size_t itemBytes = (flags & 0x80) ? 2 : 1;
            if (owed && pos + itemBytes > size) return false;
            if (flags & 0x80) {
                uint32_t b1 = at(pos), b2 = at(pos + 1);
                pos += 2;
                uint32_t src = (ringPos - ((b1 >> 4) + 16 * b2)) & 16383;
                for (uint32_t k = 0; k < lengths[b1 & 15]; ++k) {
                    uint8_t b = ring[src];
                    ring[ringPos] = b;
                    out.push_back(b);
                    src = (src + 1) & 16383;
                    ringPos = (ringPos + 1) & 16383;
                }
            } else {
                uint8_t b = at(pos++);
                ring[ringPos] = b;
                ringPos = (ringPos + 1) & 16383;
                out.push_back(b);
            }
        }
    } while (out.size() < unpackedSize);
    out.resize(unpackedSize);
    return true;
}

inline bool Decode(const Bytes& container, Bytes& out) {
    return Decode(container.data(), container.size(), out);
}

// The appends an output of size bytes arrives in: blocks of 16384, then at
// most one shorter tail.
inline std::vector<uint32_t> BlockAppends(size_t size) {
    std::vector<uint32_t> appends(size / 16384, 16384u);
    if (size % 16384) appends.push_back(static_cast<uint32_t>(size % 16384));
    return appends;
}

}  // namespace reference
