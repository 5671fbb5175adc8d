// Byte-string rules.
#include "platform/Text.h"

#include <string.h>

namespace {

CodePage g_systemCodePage = kProgramCodePage;

}  // namespace

const CodePage& SystemCodePage() {
    return g_systemCodePage;
}

void SetSystemCodePage(const CodePage& codePage) {
    g_systemCodePage = codePage;
}

size_t LastCharOffset(const char* text, size_t length, const CodePage& codePage) {
    size_t last = length;
    for (size_t i = 0; i < length; i += codePage.Width(text + i, length - i)) last = i;
    return last;
}

TextBuilder::TextBuilder(char* buffer, size_t capacity) : buffer_(buffer), capacity_(capacity) {
    if (capacity_ > 0) buffer_[0] = '\0';
}

TextBuilder& TextBuilder::Append(const char* text, const CodePage& codePage) {
    return AppendBytes(text, strlen(text), codePage);
}

TextBuilder& TextBuilder::AppendBytes(const char* bytes, size_t count, const CodePage& codePage) {
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
            size_t width = codePage.Width(bytes + i, count - i);
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
