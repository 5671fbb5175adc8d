// Error box text rules, kept apart from the window so that they can be tested.
#include "ui/ErrorText.h"

#include <string.h>

#include "platform/Path.h"
#include "platform/Text.h"

ShownText ShownError(const Error& error) {
    const char* text = error.Text();
    size_t length = strlen(text);
    ShownText shown;
    shown.Add(text, error.NameStart(), TextSource::kProgram);
    shown.Add(text + error.NameStart(), error.NameEnd() - error.NameStart(), TextSource::kSystem);
    shown.Add(text + error.NameEnd(), length - error.NameEnd(), TextSource::kProgram);
    if (length == 0) return shown;
    // Comparing the last character with "." byte by byte is decided by its
    // first byte: "." is one byte, and no lead byte equals it.
    bool endsInName = error.NameEnd() == length && error.NameEnd() > error.NameStart();
    const CodePage& codePage = endsInName ? SystemCodePage() : kProgramCodePage;
    size_t from = endsInName ? error.NameStart() : error.NameEnd();
    unsigned char first = static_cast<unsigned char>(text[from + LastCharOffset(text + from, length - from, codePage)]);
    if (first > '.') shown.Add(".", 1, TextSource::kProgram);
    return shown;
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
