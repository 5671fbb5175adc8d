// The folder picker's model: the shown folder, the folders above it, and its
// subfolders in name order, over the file system seam.
#pragma once

#include <stddef.h>

#include "platform/FileSystem.h"
#include "platform/Path.h"

// How two folder names sort, as strcmp answers.
using NameOrder = int (*)(const char* a, const char* b);

// ASCII letters compared without case, every other byte as it is.
int CaseBlindOrder(const char* a, const char* b);

// Entries run from the root down to the shown folder (its ancestors, itself
// last), then its subfolders. An entry's depth is its indent in the list:
// an ancestor's own position, every subfolder one below the shown folder.
class FolderTree {
public:
    FolderTree(FileSystem& fileSystem, NameOrder order);
    ~FolderTree();
    FolderTree(const FolderTree&) = delete;
    FolderTree& operator=(const FolderTree&) = delete;

    // Shows folder, a full path. False, with nothing changed, when it is no
    // folder. A folder that cannot be listed shows without subfolders.
    bool Open(const char* folder);

    // "" until a folder has been opened.
    const char* Shown() const { return shown_; }
    size_t AncestorCount() const { return ancestors_; }
    size_t EntryCount() const { return ancestors_ + subfolders_; }
    size_t EntryDepth(size_t index) const { return index < ancestors_ ? index : ancestors_; }
    // The entry's own name ("C:\" for a root); false when out is too small.
    bool EntryName(size_t index, char* out, size_t capacity) const {
        return Entry(index, false, out, capacity);
    }
    // The folder the entry stands for.
    bool EntryPath(size_t index, char* out, size_t capacity) const {
        return Entry(index, true, out, capacity);
    }

    // A typed folder name made full against the shown folder, the way the
    // user reads it: "Game" lies in the shown folder, "..\Game" beside it,
    // "\Game" on its drive. "." and ".." steps are resolved, "/" becomes
    // "\", and dots and spaces ending the last name go, as the system drops
    // them. A full path is only tidied. False when nothing is shown or out
    // is too small.
    bool MakeFull(const char* typed, char* out, size_t capacity) const;

    // Calls visit(name) for each file (not folder) in folder, in listing order.
    template <class Visit>
    void ForEachFile(const char* folder, Visit visit) {
        FolderListing listing;
        FolderEntry entry;
        if (!StartListing(folder, listing, entry)) return;
        do {
            if (!(entry.attributes & kAttributeDirectory)) visit(static_cast<const char*>(entry.name));
        } while (fileSystem_.NextEntry(listing, entry));
        fileSystem_.CloseListing(listing);
    }

private:
    bool Entry(size_t index, bool whole, char* out, size_t capacity) const;
    bool StartListing(const char* folder, FolderListing& listing, FolderEntry& first);
    const char* Subfolder(size_t index) const { return names_ + offsets_[index]; }

    FileSystem& fileSystem_;
    NameOrder order_;
    char shown_[kPathCapacity] = {};
    size_t ancestors_ = 0;
    // The subfolders' names, NUL-ended one after another, and where each
    // starts, in name order. Grown as needed: a folder may hold thousands.
    char* names_ = nullptr;
    size_t* offsets_ = nullptr;
    size_t subfolders_ = 0;
};
