// Any bytes as a container: the decoder must agree with a plain reference
// decoder on the output, and on which containers are damaged.
#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <vector>

#include "payload/PayloadDecoder.h"

namespace {

using Bytes = std::vector<uint8_t>;

class Source : public ByteSource {
public:
    Source(const uint8_t* data, size_t size, uint32_t piece) : data_(data), size_(size), piece_(piece) {}
    uint32_t Read(void* dst, uint32_t count) override {
        size_t n = size_ - pos_;
        if (n > count) n = count;
        if (n > piece_) n = piece_;
        memcpy(dst, data_ + pos_, n);
        pos_ += n;
        return static_cast<uint32_t>(n);
    }
    uint32_t Size() const override { return static_cast<uint32_t>(size_); }

private:
    const uint8_t* data_;
    size_t size_;
    uint32_t piece_;
    size_t pos_ = 0;
};

class Sink : public ByteSink {
public:
    Error Append(const void* src, uint32_t count) override {
        // Blocks of 16384, then at most one shorter tail.
        if (count == 0 || count > 16384 || sawTail) abort();
        sawTail = count < 16384;
        const uint8_t* p = static_cast<const uint8_t*>(src);
        bytes.insert(bytes.end(), p, p + count);
        return {};
    }
    Bytes bytes;
    bool sawTail = false;
};

// Straight from the format: every byte one at a time, no buffers. Returns
// false when an item begun before unpackedSize needs a byte past the end.
bool Reference(const uint8_t* c, size_t size, Bytes& out) {
    if (size < 8) return false;
    uint32_t unpackedSize = c[2] | c[3] << 8 | c[4] << 16;
    uint32_t packedSize = c[5] | c[6] << 8 | c[7] << 16;
    if (packedSize + 8ull > size) return false;
    uint8_t ring[16384] = {};
    uint32_t ringPos = 0;
    size_t pos = 8;
    out.clear();
    auto at = [&](size_t k) { return k < size ? c[k] : 0; };  // dropped items only
    do {
        uint8_t flags = at(pos++);
        for (int item = 0; item < 8; ++item, flags <<= 1) {
            bool owed = out.size() < unpackedSize;
            size_t itemBytes = (flags & 0x80) ? 2 : 1;
            if (owed && pos + itemBytes > size) return false;
            if (flags & 0x80) {
                static const uint8_t lengths[16] = {3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 14, 16, 24, 32, 64, 128};
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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Bytes expected;
    bool wellFormed = Reference(data, size, expected);
    // Whole reads and short ones must decode alike.
    for (uint32_t piece : {0xFFFFFFFFu, 1000u}) {
        Source source(data, size, piece);
        Sink sink;
        Error e = DecodeResource(source, sink, "EXE");
        if (wellFormed != !e) abort();
        if (wellFormed && sink.bytes != expected) abort();
        if (!wellFormed && !sink.bytes.empty() && size >= 8) {
            uint32_t packedSize = data[5] | data[6] << 8 | data[7] << 16;
            // A header promising too much must fail before any output.
            if (packedSize + 8ull > size) abort();
        }
    }
    return 0;
}
