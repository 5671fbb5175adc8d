// A growable in-memory byte sink.
#include "payload/MemoryStream.h"

#include <stdlib.h>
#include <string.h>

#include "resources/Texts.h"

namespace {

// Doubling from one decode block keeps a 16 MiB file to a dozen reallocs.
constexpr uint32_t kFirstCapacity = 16384;

void* DefaultGrow(void* block, size_t size) {
    return realloc(block, size);
}

}  // namespace

MemoryStream::MemoryStream(Reallocate grow) : grow_(grow ? grow : DefaultGrow) {}

MemoryStream::~MemoryStream() {
    free(data_);
}

Error MemoryStream::Append(const void* src, uint32_t count) {
    if (count == 0) return {};
    if (count > UINT32_MAX - size_) return Error::Make(texts::kOutOfMemory);
    uint32_t needed = size_ + count;
    if (needed > capacity_) {
        uint32_t capacity = capacity_ ? capacity_ : kFirstCapacity;
        while (capacity < needed) {
            capacity = capacity > UINT32_MAX / 2 ? needed : capacity * 2;
        }
        void* grown = grow_(data_, capacity);
        if (!grown) return Error::Make(texts::kOutOfMemory);
        data_ = static_cast<uint8_t*>(grown);
        capacity_ = capacity;
    }
    memcpy(data_ + size_, src, count);
    size_ = needed;
    return {};
}
