// Code page 932 text rules: lead bytes, whole-character ends, bounded appends.
#pragma once

#include <stddef.h>

// 0x81-0x9F and 0xE0-0xFC start a double-byte character; its trail byte may
// be any of 0x40-0xFC, '\' (0x5C) included.
constexpr bool IsCp932LeadByte(unsigned char c) {
    return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

// Offset of the last whole character of text[0, length), or length when empty.
size_t LastCharOffset(const char* text, size_t length);

// True when text ends in '\' as a character of its own, not as a trail byte.
bool EndsWithBackslash(const char* text);

// Appends into a fixed buffer, always NUL-terminated. An append that would not
// fit is cut at a whole character and marks the builder as overflowed.
class TextBuilder {
public:
    TextBuilder(char* buffer, size_t capacity);
    TextBuilder& Append(const char* text);
    TextBuilder& AppendBytes(const char* bytes, size_t count);
    bool Overflowed() const { return overflowed_; }
    size_t Length() const { return length_; }

private:
    char* buffer_;
    size_t capacity_;
    size_t length_ = 0;
    bool overflowed_ = false;
};
