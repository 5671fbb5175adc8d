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

// A byte range read from its start.
class MemorySource : public ByteSource {
public:
    MemorySource(const uint8_t* data, uint32_t size) : data_(data), size_(size) {}
    uint32_t Read(void* dst, uint32_t count) override;
    uint32_t Size() const override { return size_; }

private:
    const uint8_t* data_;
    uint32_t size_;
    uint32_t position_ = 0;
};

// One of the program's own resources as it was found: absent (an updater
// made before the resource existed), present but not readable, or loaded.
enum class ResourceState { kAbsent, kUnreadable, kLoaded };
struct ResourceBytes {
    ResourceState state = ResourceState::kAbsent;
    const uint8_t* data = nullptr;
    uint32_t size = 0;
};

// An appendable stream: takes all bytes offered or reports why not.
class ByteSink {
public:
    virtual ~ByteSink() = default;
    virtual Error Append(const void* src, uint32_t count) = 0;
};
