// Replaces a file through a flushed temporary beside it.
#include "payload/ReplaceFile.h"

#include <stddef.h>

#include "platform/Cp932.h"
#include "resources/Texts.h"

namespace {

// The longest path the "A" file functions take, terminator excluded.
constexpr size_t kMaxPathLength = 259;
constexpr size_t kSideNameCapacity = kMaxPathLength + 1;
constexpr int kSideNameTries = 100;
// Bytes of the target's name kept in a short side name: with ".~nnx" the
// short name of "kestravon.exe" is no longer than the name itself.
constexpr size_t kShortStemLength = 8;

constexpr char kNewTag = 'n';     // unfinished new contents
constexpr char kBackupTag = 'b';  // the old file, stepped aside

// Side files are named "<prefix>~<nn><tag>" beside the target, so that the
// final rename stays on one volume. The prefix is "<target>."; where that
// would pass the longest path, it is the folder, the first 8 bytes of the
// target's name and "." ("kestravo.~00n"). A target always uses the same
// form, so a later run finds what an earlier one left.
struct SideNames {
    char prefix[kSideNameCapacity];
    bool Form(int n, char tag, char* out) const {
        char suffix[] = {'~', static_cast<char>('0' + n / 10), static_cast<char>('0' + n % 10), tag, '\0'};
        TextBuilder name(out, kSideNameCapacity);
        name.Append(prefix).Append(suffix);
        return !name.Overflowed() && name.Length() <= kMaxPathLength;
    }
};

// Offset where the last name of path begins; a trail byte 0x5C is no separator.
size_t NameStart(const char* path) {
    size_t start = 0;
    for (size_t i = 0; path[i] != '\0';) {
        if (IsCp932LeadByte(static_cast<unsigned char>(path[i])) && path[i + 1] != '\0') {
            i += 2;
            continue;
        }
        char c = path[i++];
        if (c == '\\' || c == '/' || c == ':') start = i;
    }
    return start;
}

bool MakeSideNames(const char* target, SideNames& names) {
    TextBuilder longForm(names.prefix, sizeof names.prefix);
    longForm.Append(target).Append(".");
    char probe[kSideNameCapacity];
    if (!longForm.Overflowed() && names.Form(kSideNameTries - 1, kNewTag, probe)) return true;

    size_t nameStart = NameStart(target);
    size_t stem = nameStart;
    while (target[stem] != '\0' && target[stem] != '.') {
        size_t width = IsCp932LeadByte(static_cast<unsigned char>(target[stem])) && target[stem + 1] ? 2 : 1;
        if (stem + width - nameStart > kShortStemLength) break;
        stem += width;
    }
    TextBuilder shortForm(names.prefix, sizeof names.prefix);
    shortForm.AppendBytes(target, stem).Append(".");
    return !shortForm.Overflowed() && names.Form(kSideNameTries - 1, kNewTag, probe);
}

// Power lost mid-update leaves side files; after a hundred of them no name
// would be free. Unfinished new contents always go. A backup goes only while
// the target exists: without the target it may be the only copy of the old
// file, so it is put back first. Nothing else is touched.
FileKind ClearStaleSideFiles(FileStore& store, const char* target, const SideNames& names,
                             FileKind kind, uint32_t* attributes) {
    char side[kSideNameCapacity];
    if (kind == FileKind::kMissing) {
        for (int n = 0; n < kSideNameTries; ++n) {
            if (names.Form(n, kBackupTag, side) && store.Rename(side, target)) {
                kind = store.Kind(target, attributes);
                break;
            }
        }
    }
    for (int n = 0; n < kSideNameTries; ++n) {
        if (names.Form(n, kNewTag, side)) store.Remove(side);
        if (kind == FileKind::kFile && names.Form(n, kBackupTag, side)) store.Remove(side);
    }
    return kind;
}

// Leaves the new file created and open in temp.
bool CreateTempFile(FileStore& store, const SideNames& names, char* temp) {
    for (int n = 0; n < kSideNameTries; ++n) {
        if (!names.Form(n, kNewTag, temp)) return false;
        CreateStatus status = store.CreateNew(temp);
        if (status == CreateStatus::kOk) return true;
        if (status == CreateStatus::kFailed) return false;
    }
    return false;
}

bool PickBackupName(FileStore& store, const SideNames& names, char* backup) {
    for (int n = 0; n < kSideNameTries; ++n) {
        if (!names.Form(n, kBackupTag, backup)) return false;
        if (store.Kind(backup, nullptr) == FileKind::kMissing) return true;
    }
    return false;
}

// Closes the file whatever happens: an open file cannot be removed.
Error WriteAndClose(FileStore& store, const void* bytes, uint32_t size) {
    bool ok = true;
    if (size > 0) {
        uint32_t written = 0;
        ok = store.Write(bytes, size, &written) && written == size;
    }
    ok = ok && store.Flush();
    ok = store.Close() && ok;
    if (!ok) return Error::Make(texts::kWriteError);
    return {};
}

// Only a held file is worth waiting for; any other failure ends at once.
MoveStatus MoveReplacingWithRetries(FileStore& store, const char* temp, const char* target) {
    for (int attempt = 1;; ++attempt) {
        MoveStatus status = store.MoveReplacing(temp, target);
        if (status != MoveStatus::kBusy || attempt == kMoveTries) return status;
        store.Pause(kMoveRetryPauseMs);
    }
}

// Without a replacing move (Windows 98/Me) the old file steps aside under a
// backup name until the new one is in place, and comes back if that fails.
Error MoveIntoPlace(FileStore& store, const SideNames& names, const char* temp, const char* target,
                    bool targetExists) {
    Error cannotCreate = Error::Make(texts::kCannotCreateFile, target);
    MoveStatus status = MoveReplacingWithRetries(store, temp, target);
    if (status != MoveStatus::kUnsupported) return status == MoveStatus::kOk ? Error() : cannotCreate;
    if (!targetExists) return store.Rename(temp, target) ? Error() : cannotCreate;

    char backup[kSideNameCapacity];
    if (!PickBackupName(store, names, backup)) return cannotCreate;
    if (!store.Rename(target, backup)) return cannotCreate;
    if (!store.Rename(temp, target)) {
        // Saying only "cannot create" would hide where the old file went.
        if (!store.Rename(backup, target)) return Error::Make(texts::kOldFileLeftAs, backup);
        return cannotCreate;
    }
    // The update is done; a backup that refuses to go harms nothing.
    store.Remove(backup);
    return {};
}

}  // namespace

Error ReplaceFileContents(FileStore& store, const char* targetPath, const void* bytes,
                          uint32_t size) {
    SideNames names;
    if (!MakeSideNames(targetPath, names)) return Error::Make(texts::kCannotCreateFile, targetPath);
    uint32_t attributes = 0;
    FileKind kind = store.Kind(targetPath, &attributes);
    // A replacing move would go through a read-only file or one the game
    // holds open on some systems, where writing over it would have failed.
    bool refused = kind == FileKind::kReadOnlyFile || kind == FileKind::kOther ||
                   (kind == FileKind::kFile && !store.CanOpenExclusively(targetPath));
    if (!refused) {
        kind = ClearStaleSideFiles(store, targetPath, names, kind, &attributes);
        refused = kind != FileKind::kFile && kind != FileKind::kMissing;
    }
    char temp[kSideNameCapacity];
    if (refused || !CreateTempFile(store, names, temp)) {
        return Error::Make(texts::kCannotCreateFile, targetPath);
    }
    Error e = WriteAndClose(store, bytes, size);
    // A hidden or system game file stays so; a new file takes the defaults.
    if (!e && kind == FileKind::kFile && !store.SetAttributes(temp, attributes & kPassedOnAttributes)) {
        e = Error::Make(texts::kCannotCreateFile, targetPath);
    }
    if (!e) e = MoveIntoPlace(store, names, temp, targetPath, kind == FileKind::kFile);
    if (e) store.Remove(temp);
    return e;
}
