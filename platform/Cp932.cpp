// Code page 932 text rules.
#include "platform/Cp932.h"

#include <string.h>

size_t LastCharOffset(const char* text, size_t length) {
    size_t last = length;
    for (size_t i = 0; i < length;) {
        last = i;
        bool pair = IsCp932LeadByte(static_cast<unsigned char>(text[i])) && i + 1 < length;
        i += pair ? 2 : 1;
    }
    return last;
}

bool EndsWithBackslash(const char* text) {
    size_t length = strlen(text);
    if (length == 0) return false;
    size_t last = LastCharOffset(text, length);
    return length - last == 1 && text[last] == '\\';
}

TextBuilder::TextBuilder(char* buffer, size_t capacity) : buffer_(buffer), capacity_(capacity) {
    if (capacity_ > 0) buffer_[0] = '\0';
}

TextBuilder& TextBuilder::Append(const char* text) {
    return AppendBytes(text, strlen(text));
}

TextBuilder& TextBuilder::AppendBytes(const char* bytes, size_t count) {
    if (capacity_ == 0) {
        overflowed_ = overflowed_ || count > 0;
        return *this;
    }
    size_t room = capacity_ - 1 - length_;
    size_t take = count;
    if (take > room) {
        overflowed_ = true;
        // Keep whole characters only: find the last character start that fits.
        take = 0;
        for (size_t i = 0; i < count;) {
            size_t width = IsCp932LeadByte(static_cast<unsigned char>(bytes[i])) && i + 1 < count ? 2 : 1;
            if (i + width > room) break;
            i += width;
            take = i;
        }
    }
    memcpy(buffer_ + length_, bytes, take);
    length_ += take;
    buffer_[length_] = '\0';
    return *this;
}
