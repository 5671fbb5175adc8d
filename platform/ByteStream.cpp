// Byte streams over memory.
#include "platform/ByteStream.h"

#include <string.h>

uint32_t MemorySource::Read(void* dst, uint32_t count) {
    uint32_t left = size_ - position_;
    if (count > left) count = left;
    if (count == 0) return 0;
    memcpy(dst, data_ + position_, count);
    position_ += count;
    return count;
}
