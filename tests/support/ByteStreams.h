// Byte sources and sinks over memory, for every test that feeds the decoder.
#pragma once

#include <stddef.h>
#include <stdint.h>
#include <string.h>

#include <vector>

#include "platform/ByteStream.h"

namespace support {

// A whole buffer, handed out at most piece bytes per read (short reads).
class PieceSource : public ByteSource {
public:
    PieceSource(const uint8_t* data, size_t size, uint32_t piece = 0xFFFFFFFF)
        : data_(data), size_(size), piece_(piece) {}
    explicit PieceSource(const std::vector<uint8_t>& bytes, uint32_t piece = 0xFFFFFFFF)
        : PieceSource(bytes.data(), bytes.size(), piece) {}
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

// Keeps every byte and the size of every append; the append numbered failAt
// fails (and is recorded as 0).
class RecordingSink : public ByteSink {
public:
    Error Append(const void* src, uint32_t count) override {
        if (static_cast<int>(appends.size()) == failAt) {
            appends.push_back(0);
            return Error::Make("sink full %s", "here");
        }
        const uint8_t* p = static_cast<const uint8_t*>(src);
        bytes.insert(bytes.end(), p, p + count);
        appends.push_back(count);
        return {};
    }
    std::vector<uint8_t> bytes;
    std::vector<uint32_t> appends;
    int failAt = -1;
};

// Writes into a buffer the caller sized, so that timing a decode times the
// decoder and not a growing vector.
class BufferSink : public ByteSink {
public:
    explicit BufferSink(uint8_t* buffer) : buffer_(buffer) {}
    Error Append(const void* src, uint32_t count) override {
        memcpy(buffer_ + size, src, count);
        size += count;
        return {};
    }
    size_t size = 0;

private:
    uint8_t* buffer_;
};

}  // namespace support
