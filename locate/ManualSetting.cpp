// The manual choice of the install folder: create, recognise, record.
#include "locate/ManualSetting.h"

#include <string.h>

#include "locate/InstallRecord.h"
#include "platform/Path.h"
#include "resources/Names.h"
#include "resources/Texts.h"

bool CreateFolderWithParents(FileSystem& fs, const char* path) {
    constexpr size_t kMaxDepth = kPathCapacity / 2;
    PathStep steps[kMaxDepth];
    size_t count = PathSteps(path, steps, kMaxDepth);
    if (count > kMaxDepth || strlen(path) >= kPathCapacity) return false;
    // A root ("C:\", "\\server\share") is never ours to create.
    size_t first = RootLength(path) > 0 ? 1 : 0;
    char folder[kPathCapacity];
    for (size_t i = first; i < count; ++i) {
        memcpy(folder, path, steps[i].end);
        folder[steps[i].end] = '\0';
        PathKind kind = fs.Probe(folder, nullptr);
        if (kind == PathKind::kFolder) continue;
        if (kind == PathKind::kFile || !fs.CreateFolder(folder)) return false;
    }
    return true;
}

Error ApplyManualChoice(FileSystem& fs, Registry& registry, const char* chosen,
                        ManualOutcome* outcome) {
    *outcome = ManualOutcome::kNotGameFolder;
    // Only a full path names the same folder at the next start; the picker
    // makes a typed name full, and nothing else is ever made here.
    if (!IsFullPath(chosen)) return Error::Make(texts::kCannotCreateFolder);
    if (fs.Probe(chosen, nullptr) != PathKind::kFolder) CreateFolderWithParents(fs, chosen);

    char record[kPathCapacity];
    char marker[kPathCapacity];
    // A path too long to hold the marker cannot be the game's folder.
    if (!FolderRecordValue(record, sizeof record, chosen)) return {};
    if (!JoinPath(marker, sizeof marker, chosen, names::kMarkerProbe)) return {};
    // A folder named like the marker does not make a game folder.
    if (fs.Probe(marker, nullptr) != PathKind::kFile) return {};

    if (Error e = StoreInstallDir(registry, record)) return e;
    *outcome = ManualOutcome::kStored;
    return {};
}
