// Error box text rules, kept apart from the window so that they can be tested.
#include "ui/ErrorText.h"

#include <string.h>

#include "platform/Cp932.h"

void FinishErrorMessage(const char* message, char* out, size_t capacity) {
    TextBuilder text(out, capacity);
    text.Append(message);
    size_t length = strlen(message);
    if (length == 0) return;
    // Comparing the last character with "." byte by byte is decided by its
    // first byte: "." is one byte, and no lead byte equals it.
    unsigned char first = static_cast<unsigned char>(message[LastCharOffset(message, length)]);
    if (first > '.') text.Append(".");
}

void AppTitleFromModulePath(const char* path, char* out, size_t capacity) {
    // The name starts after the last "\" that is a character of its own; a
    // trail byte may be 0x5C too.
    const char* name = path;
    for (const char* p = path; *p;) {
        bool pair = IsCp932LeadByte(static_cast<unsigned char>(*p)) && p[1];
        if (!pair && (*p == '\\' || *p == '/' || *p == ':')) name = p + 1;
        p += pair ? 2 : 1;
    }

    TextBuilder title(out, capacity);
    bool first = true;
    for (const char* p = name; *p && *p != '.';) {
        if (IsCp932LeadByte(static_cast<unsigned char>(*p)) && p[1]) {
            title.AppendBytes(p, 2);
            p += 2;
        } else {
            char c = *p++;
            if (!first && c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
            title.AppendBytes(&c, 1);
        }
        first = false;
    }
}
