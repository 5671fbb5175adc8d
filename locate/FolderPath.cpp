// Folder path rules that must step over CP932 characters whole: a trail byte
// may be 0x5C and look like a separator.
#include "locate/FolderPath.h"

#include "platform/Cp932.h"

namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

bool IsAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

size_t CharWidth(const char* text, size_t i) {
    return IsCp932LeadByte(static_cast<unsigned char>(text[i])) && text[i + 1] != '\0' ? 2 : 1;
}

// Offset just past the name starting at i.
size_t SkipName(const char* path, size_t i) {
    while (path[i] != '\0' && !IsSeparator(path[i])) i += CharWidth(path, i);
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
    bool drive = IsAsciiLetter(path[0]) && path[1] == ':' && IsSeparator(path[2]);
    bool unc = IsSeparator(path[0]) && IsSeparator(path[1]);
    return drive || unc;
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

bool FolderRecordValue(char* out, size_t capacity, const char* folder) {
    TextBuilder text(out, capacity);
    text.Append(folder).Append("\\");
    return !text.Overflowed();
}
