// A growable in-memory byte sink holding the whole decoded file.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "platform/ByteStream.h"

class MemoryStream : public ByteSink {
public:
    using Reallocate = void* (*)(void* block, size_t size);

    // grow is realloc unless a test needs it to fail.
    explicit MemoryStream(Reallocate grow = nullptr);
    ~MemoryStream() override;
    MemoryStream(const MemoryStream&) = delete;
    MemoryStream& operator=(const MemoryStream&) = delete;

    // On failure the bytes already held stay as they were.
    Error Append(const void* src, uint32_t count) override;

    const uint8_t* Data() const { return data_; }
    uint32_t Size() const { return size_; }

private:
    Reallocate grow_;
    uint8_t* data_ = nullptr;
    uint32_t size_ = 0;
    uint32_t capacity_ = 0;
};
