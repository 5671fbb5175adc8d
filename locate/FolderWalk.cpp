// Walks the fixed drives for the marker file, folder by folder.
#include "locate/FolderWalk.h"

#include <string.h>

#include "locate/InstallRecord.h"
#include "platform/Text.h"
#include "resources/Names.h"

namespace {

// One level of the walk: where its folder's path ends in the shared path
// buffer and, once asked, the folder's identity.
struct WalkLevel {
    const WalkLevel* parent;
    size_t pathLength;
    // Reached through a link: from here down a folder may be one above.
    bool insideLink;
    bool identityAsked;
    bool identityKnown;
    FolderIdentity identity;
};

struct Walk {
    SearchState& state;
    FileSystem& fileSystem;
    SearchView& view;
    char path[kSearchPathCapacity + 1 + sizeof names::kListPattern];
    size_t pathLength;
};

bool IsDotEntry(const char* name) {
    return strcmp(name, ".") == 0 || strcmp(name, "..") == 0;
}

// Identities are asked lazily: only a link can lead back to a folder above,
// so a walk outside links never pays for them.
bool LevelIdentity(Walk& walk, WalkLevel& level, FolderIdentity& out) {
    if (!level.identityAsked) {
        level.identityAsked = true;
        char saved = walk.path[level.pathLength];
        walk.path[level.pathLength] = '\0';
        level.identityKnown = walk.fileSystem.IdentityOf(walk.path, level.identity);
        walk.path[level.pathLength] = saved;
    }
    out = level.identity;
    return level.identityKnown;
}

// True when the folder at the end of the path is one of the folders the walk
// is already inside. Where the system cannot tell, the walk goes on; the
// listing refuses the path once it grows too long.
bool ClosesCycle(Walk& walk, WalkLevel& self) {
    FolderIdentity own;
    if (!LevelIdentity(walk, self, own)) return false;
    for (const WalkLevel* up = self.parent; up; up = up->parent) {
        FolderIdentity other;
        if (LevelIdentity(walk, const_cast<WalkLevel&>(*up), other) && other == own) return true;
    }
    return false;
}

void ShowFolderBegun(Walk& walk) {
    walk.view.ShowProgress(walk.path);
    walk.view.PumpMessages();
    SearchState& state = walk.state;
    if (!state.abandoned && walk.view.Ended()) {
        // Closing the dialog stops the search as the stop button does; the
        // dialog disappears once the walk has unwound.
        state.abandoned = true;
        state.StopSearch = true;
        if (state.running) {
            state.running = false;
            walk.view.ShowRunning(false);
        }
    }
}

void WalkFolder(Walk& walk, WalkLevel* parent, bool isLink) {
    SearchState& state = walk.state;
    if (state.StopSearch || walk.pathLength == 0) return;

    bool insideLink = isLink || (parent && parent->insideLink);
    WalkLevel level = {parent, walk.pathLength, insideLink, false, false, {}};
    if (insideLink && ClosesCycle(walk, level)) return;

    ShowFolderBegun(walk);

    // The pattern goes on the end of the shared path for the call only: a
    // buffer of its own would cost every level of depth its stack.
    FolderListing listing;
    FolderEntry entry;
    walk.path[walk.pathLength] = '\\';
    memcpy(walk.path + walk.pathLength + 1, names::kListPattern, sizeof names::kListPattern);
    bool listed = walk.fileSystem.OpenListing(walk.path, listing, entry);
    walk.path[walk.pathLength] = '\0';
    if (!listed) return;
    do {
        if (IsDotEntry(entry.name)) continue;
        if (entry.attributes & kAttributeDirectory) {
            if (state.StopSearch) continue;  // the subfolder's walk would return at once
            size_t nameLength = strlen(entry.name);
            if (walk.pathLength + 1 + nameLength >= kSearchPathCapacity) continue;
            walk.path[walk.pathLength] = '\\';
            memcpy(walk.path + walk.pathLength + 1, entry.name, nameLength + 1);
            walk.pathLength += 1 + nameLength;
            WalkFolder(walk, &level, (entry.attributes & kAttributeReparsePoint) != 0);
            walk.pathLength = level.pathLength;
            walk.path[walk.pathLength] = '\0';
        } else if (IsMarkerName(entry.name)) {
            state.StopSearch = true;
            memcpy(state.FoundDir, walk.path, walk.pathLength + 1);
            break;
        }
    } while (walk.fileSystem.NextEntry(listing, entry));
    walk.fileSystem.CloseListing(listing);
}

void StartWalk(Walk& walk, const char* folder) {
    size_t length = strlen(folder);
    if (length >= kSearchPathCapacity) return;
    memcpy(walk.path, folder, length + 1);
    walk.pathLength = length;
    WalkFolder(walk, nullptr, false);
}

}  // namespace

bool IsMarkerName(const char* name) {
    const char* marker = names::kMarkerName;
    size_t i = 0;
    for (; name[i] != '\0'; ++i) {
        // The marker is ASCII: a double-byte character never matches, and its
        // trail byte, which may look like a letter, is never upper-cased.
        if (SystemCodePage().Width(name + i) != 1) return false;
        if (AsciiUpper(name[i]) != marker[i]) return false;
    }
    return marker[i] == '\0';
}

void SearchFolder(SearchState& state, FileSystem& fileSystem, SearchView& view, const char* folder) {
    Walk walk = {state, fileSystem, view, {}, 0};
    StartWalk(walk, folder);
}

Error ClickSearchButton(SearchState& state, FileSystem& fileSystem, Registry& registry, SearchView& view) {
    if (state.running) {
        // The search further down this call stack sees the flag when its next
        // folder walk begins, and unwinds.
        state.StopSearch = true;
        state.running = false;
        view.ShowRunning(false);
        return {};
    }
    // A click queued behind the stop click is delivered while the stopped
    // search still unwinds; starting a search inside it would nest one walk
    // in another. A click queued behind the close box finds the dialog ended.
    if (state.busy || view.Ended()) return {};

    state.running = true;
    state.busy = true;
    state.abandoned = false;
    view.ShowRunning(true);
    state.StopSearch = false;
    state.FoundDir[0] = '\0';

    Walk walk = {state, fileSystem, view, {}, 0};
    for (char letter = 'A'; letter <= 'Z'; ++letter) {
        if (fileSystem.TypeOfDrive(letter) != DriveType::kFixed) continue;
        const char root[] = {letter, ':', '\0'};
        StartWalk(walk, root);
        if (state.FoundDir[0] != '\0') {
            state.running = false;
            state.busy = false;
            view.ShowRunning(false);
            char record[kSearchPathCapacity + 1];
            FolderRecordValue(record, sizeof record, state.FoundDir);
            if (Error e = StoreInstallDir(registry, record)) return e;
            view.CloseDialog();
            return {};
        }
    }
    if (!state.abandoned) view.ShowNotFound();
    state.running = false;
    state.busy = false;
    view.ShowRunning(false);
    return {};
}
