// Error box text rules, kept apart from the window so that they can be tested.
#include "ui/ErrorText.h"

#include <string.h>

#include "platform/Path.h"
#include "platform/Text.h"

void FinishErrorMessage(const char* message, char* out, size_t capacity) {
    TextBuilder text(out, capacity);
    text.Append(message);
    size_t length = strlen(message);
    if (length == 0) return;
    // Comparing the last character with "." byte by byte is decided by its
    // first byte: "." is one byte, and no lead byte equals it. Every message
    // ends in the program's own text.
    unsigned char first = static_cast<unsigned char>(message[LastCharOffset(message, length, kProgramCodePage)]);
    if (first > '.') text.Append(".");
}

void AppTitleFromModulePath(const char* path, char* out, size_t capacity) {
    const char* name = path + LastNameOffset(path);
    const CodePage& codePage = SystemCodePage();
    TextBuilder title(out, capacity);
    for (const char* p = name; *p && *p != '.';) {
        size_t width = codePage.Width(p);
        // Double-byte characters stay whole and as they are.
        char lower = AsciiLower(*p);
        title.AppendBytes(width == 1 && p != name ? &lower : p, width);
        p += width;
    }
}
