// Path rules that step over double-byte characters whole: a trail byte may
// be 0x5C and look like a separator.
#include "platform/Path.h"

#include <string.h>

#include "platform/Text.h"

namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

bool IsAsciiLetter(char c) { return AsciiUpper(c) >= 'A' && AsciiUpper(c) <= 'Z'; }

// Offset just past the name starting at i.
size_t SkipName(const char* path, size_t i) {
    const CodePage& codePage = SystemCodePage();
    while (path[i] != '\0' && !IsSeparator(path[i])) i += codePage.Width(path + i);
    return i;
}

}  // namespace

size_t RootLength(const char* path) {
    if (IsAsciiLetter(path[0]) && path[1] == ':') return IsSeparator(path[2]) ? 3 : 2;
    if (!IsSeparator(path[0])) return 0;
    if (!IsSeparator(path[1])) return 1;
    // "\\server\share\": both names belong to the root.
    size_t i = SkipName(path, 2);
    if (IsSeparator(path[i])) i = SkipName(path, i + 1);
    if (IsSeparator(path[i])) ++i;
    return i;
}

bool IsFullPath(const char* path) {
    if (IsAsciiLetter(path[0]) && path[1] == ':') return IsSeparator(path[2]);
    if (!IsSeparator(path[0]) || !IsSeparator(path[1])) return false;
    // "\\server\share": a server and a share, each named.
    size_t server = SkipName(path, 2);
    return server > 2 && IsSeparator(path[server]) && SkipName(path, server + 1) > server + 1;
}

bool EndsWithBackslash(const char* path) {
    size_t length = strlen(path);
    if (length == 0) return false;
    size_t last = LastCharOffset(path, length);
    return length - last == 1 && path[last] == '\\';
}

size_t LastNameOffset(const char* path) {
    const CodePage& codePage = SystemCodePage();
    size_t start = 0;
    for (size_t i = 0; path[i] != '\0';) {
        size_t width = codePage.Width(path + i);
        char c = path[i];
        i += width;
        if (width == 1 && (IsSeparator(c) || c == ':')) start = i;
    }
    return start;
}

size_t PathSteps(const char* path, PathStep* steps, size_t capacity) {
    size_t count = 0;
    auto add = [&](size_t start, size_t end) {
        if (count < capacity) steps[count] = PathStep{start, end};
        ++count;
    };
    size_t i = RootLength(path);
    if (i > 0) add(0, i);
    for (;;) {
        while (IsSeparator(path[i])) ++i;
        if (path[i] == '\0') break;
        size_t end = SkipName(path, i);
        add(i, end);
        i = end;
    }
    return count;
}

bool JoinPath(char* out, size_t capacity, const char* folder, const char* name) {
    TextBuilder text(out, capacity);
    text.Append(folder);
    if (folder[0] != '\0' && !EndsWithBackslash(folder)) text.Append("\\");
    text.Append(name);
    return !text.Overflowed();
}
