// The folder picker's model: which folders the tree lists, and where a typed
// name leads.
#include "locate/FolderTree.h"

#include <stdlib.h>
#include <string.h>

#include "platform/Text.h"
#include "resources/Names.h"

namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

bool IsDotEntry(const char* name) { return strcmp(name, ".") == 0 || strcmp(name, "..") == 0; }

// The subfolder names of one listing, kept in name order as they arrive.
struct NameList {
    char* names = nullptr;
    size_t used = 0;
    size_t room = 0;
    size_t* offsets = nullptr;
    size_t count = 0;
    size_t slots = 0;

    // False when memory ran out: the list keeps what it has.
    bool Insert(const char* name, NameOrder order) {
        size_t size = strlen(name) + 1;
        if (used + size > room) {
            size_t grown = room ? room * 2 : 4096;
            while (grown < used + size) grown *= 2;
            void* more = realloc(names, grown);
            if (!more) return false;
            names = static_cast<char*>(more);
            room = grown;
        }
        if (count == slots) {
            size_t grown = slots ? slots * 2 : 64;
            void* more = realloc(offsets, grown * sizeof *offsets);
            if (!more) return false;
            offsets = static_cast<size_t*>(more);
            slots = grown;
        }
        memcpy(names + used, name, size);
        // After every equal name: names that sort alike keep the listing's order.
        size_t low = 0;
        size_t high = count;
        while (low < high) {
            size_t middle = (low + high) / 2;
            if (order(names + offsets[middle], name) <= 0) low = middle + 1;
            else high = middle;
        }
        memmove(offsets + low + 1, offsets + low, (count - low) * sizeof *offsets);
        offsets[low] = used;
        used += size;
        ++count;
        return true;
    }
};

}  // namespace

int CaseBlindOrder(const char* a, const char* b) {
    const CodePage& codePage = SystemCodePage();
    for (;; ++a, ++b) {
        unsigned char x = static_cast<unsigned char>(AsciiUpper(*a));
        unsigned char y = static_cast<unsigned char>(AsciiUpper(*b));
        if (x != y || x == 0) return x < y ? -1 : x > y ? 1 : 0;
        // A trail byte is compared as it is, never folded like a letter.
        if (codePage.IsLeadByte(x) && a[1] != '\0' && b[1] != '\0') {
            ++a;
            ++b;
            if (*a != *b) return static_cast<unsigned char>(*a) < static_cast<unsigned char>(*b) ? -1 : 1;
        }
    }
}

FolderTree::FolderTree(FileSystem& fileSystem, NameOrder order) : fileSystem_(fileSystem), order_(order) {}

FolderTree::~FolderTree() {
    free(names_);
    free(offsets_);
}

bool FolderTree::StartListing(const char* folder, FolderListing& listing, FolderEntry& first) {
    char pattern[kPathCapacity];
    if (!JoinPath(pattern, sizeof pattern, folder, names::kListPattern)) return false;
    return fileSystem_.OpenListing(pattern, listing, first);
}

bool FolderTree::Open(const char* folder) {
    size_t length = strlen(folder);
    if (!IsFullPath(folder) || length >= sizeof shown_) return false;
    if (fileSystem_.Probe(folder, nullptr) != PathKind::kFolder) return false;

    NameList list;
    FolderListing listing;
    FolderEntry entry;
    if (StartListing(folder, listing, entry)) {
        do {
            if (!(entry.attributes & kAttributeDirectory) || IsDotEntry(entry.name)) continue;
            if (!list.Insert(entry.name, order_)) break;
        } while (fileSystem_.NextEntry(listing, entry));
        fileSystem_.CloseListing(listing);
    }

    memcpy(shown_, folder, length + 1);
    size_t steps = PathSteps(shown_, nullptr, 0);
    ancestors_ = steps < kPathCapacity / 2 ? steps : kPathCapacity / 2;
    free(names_);
    free(offsets_);
    names_ = list.names;
    offsets_ = list.offsets;
    subfolders_ = list.count;
    return true;
}

bool FolderTree::Entry(size_t index, bool whole, char* out, size_t capacity) const {
    if (index >= EntryCount() || capacity == 0) return false;
    if (index >= ancestors_) {
        const char* name = Subfolder(index - ancestors_);
        if (whole) return JoinPath(out, capacity, shown_, name);
        return !TextBuilder(out, capacity).Append(name).Overflowed();
    }
    PathStep steps[kPathCapacity / 2];
    PathSteps(shown_, steps, kPathCapacity / 2);
    size_t start = whole ? 0 : steps[index].start;
    return !TextBuilder(out, capacity).AppendBytes(shown_ + start, steps[index].end - start).Overflowed();
}

bool FolderTree::MakeFull(const char* typed, char* out, size_t capacity) const {
    if (shown_[0] == '\0' || capacity == 0) return false;
    out[0] = '\0';

    // The typed name put where it leads from the shown folder.
    char joined[2 * kPathCapacity];
    TextBuilder join(joined, sizeof joined);
    size_t typedRoot = RootLength(typed);
    if (IsFullPath(typed)) {
        typedRoot = 0;
    } else if (typedRoot == 1) {
        join.AppendBytes(shown_, RootLength(shown_));
    } else if (typedRoot == 2 && AsciiUpper(typed[0]) != AsciiUpper(shown_[0])) {
        // Another drive's own current folder is not known here: its root.
        join.AppendBytes(typed, 2).Append("\\");
    } else {
        join.Append(shown_).Append("\\");
    }
    join.Append(typed + typedRoot);
    if (join.Overflowed()) return false;

    size_t rootLength = RootLength(joined);
    PathStep steps[kPathCapacity];
    size_t count = PathSteps(joined, steps, kPathCapacity);
    if (count > kPathCapacity) return false;

    // Names kept, as steps; "." goes, ".." takes the name before it away.
    size_t kept = 0;
    for (size_t i = rootLength > 0 ? 1 : 0; i < count; ++i) {
        size_t size = steps[i].end - steps[i].start;
        const char* name = joined + steps[i].start;
        if (size == 1 && name[0] == '.') continue;
        if (size == 2 && name[0] == '.' && name[1] == '.') {
            if (kept > 0) --kept;
            continue;
        }
        steps[kept++] = steps[i];
    }
    size_t length = join.Length();
    bool endsInSeparator = length > rootLength && (joined[length - 1] == '/' || EndsWithBackslash(joined));
    // Dots and spaces are single bytes that no trail byte equals.
    if (!endsInSeparator && kept > 0) {
        PathStep& last = steps[kept - 1];
        while (last.end > last.start && (joined[last.end - 1] == '.' || joined[last.end - 1] == ' ')) --last.end;
        if (last.end == last.start) --kept;
    }

    TextBuilder path(out, capacity);
    path.AppendBytes(joined, rootLength);
    for (size_t i = 0; i < rootLength && out[i] != '\0'; ++i) {
        if (out[i] == '/') out[i] = '\\';
    }
    bool needSeparator = rootLength > 0 && !IsSeparator(joined[rootLength - 1]);
    for (size_t i = 0; i < kept; ++i) {
        if (needSeparator) path.Append("\\");
        path.AppendBytes(joined + steps[i].start, steps[i].end - steps[i].start);
        needSeparator = true;
    }
    if (endsInSeparator && kept > 0) path.Append("\\");
    if (path.Overflowed()) {
        out[0] = '\0';
        return false;
    }
    return true;
}
