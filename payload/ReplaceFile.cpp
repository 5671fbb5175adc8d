// Replaces a file through a flushed temporary beside it.
#include "payload/ReplaceFile.h"

#include <stddef.h>

#include "platform/FileSystem.h"
#include "platform/Path.h"
#include "platform/Text.h"
#include "resources/Texts.h"

namespace {

constexpr size_t kSideNameCapacity = kPathCapacity;
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
        return !name.Overflowed() && name.Length() <= kLongestPath;
    }
};

bool MakeSideNames(const char* target, SideNames& names) {
    TextBuilder longForm(names.prefix, sizeof names.prefix);
    longForm.Append(target).Append(".");
    char probe[kSideNameCapacity];
    if (!longForm.Overflowed() && names.Form(kSideNameTries - 1, kNewTag, probe)) return true;

    size_t nameStart = LastNameOffset(target);
    size_t stem = nameStart;
    while (target[stem] != '\0' && target[stem] != '.') {
        size_t width = SystemCodePage().Width(target + stem);
        if (stem + width - nameStart > kShortStemLength) break;
        stem += width;
    }
    TextBuilder shortForm(names.prefix, sizeof names.prefix);
    shortForm.AppendBytes(target, stem).Append(".");
    return !shortForm.Overflowed() && names.Form(kSideNameTries - 1, kNewTag, probe);
}

// A missing target is created; a file is replaced unless it is read-only;
// anything else (a folder, a device, what cannot be looked up) is refused.
bool Replaceable(PathKind kind, uint32_t attributes) {
    return kind == PathKind::kMissing || (kind == PathKind::kFile && !(attributes & kAttributeReadOnly));
}

// Power lost mid-update leaves side files; after a hundred of them no name
// would be free. Unfinished new contents always go. Without the target a
// backup may be the only copy of the old file: it is put back first.
// Nothing else is touched.
PathKind ClearUnfinishedSideFiles(FileSystem& fs, const char* target, const SideNames& names, PathKind kind,
                                  uint32_t* attributes) {
    char side[kSideNameCapacity];
    if (kind == PathKind::kMissing) {
        for (int n = 0; n < kSideNameTries; ++n) {
            if (names.Form(n, kBackupTag, side) && fs.Rename(side, target)) {
                kind = fs.Probe(target, attributes);
                break;
            }
        }
    }
    for (int n = 0; n < kSideNameTries; ++n) {
        if (names.Form(n, kNewTag, side)) fs.Remove(side);
    }
    return kind;
}

// Backups go only once the new file is in place: until then one of them may
// be the only good copy of the game (a file that appeared at the target
// since need not be the game at all). One that refuses to go harms nothing.
void RemoveBackups(FileSystem& fs, const SideNames& names) {
    char side[kSideNameCapacity];
    for (int n = 0; n < kSideNameTries; ++n) {
        if (names.Form(n, kBackupTag, side)) fs.Remove(side);
    }
}

// Leaves the new file created and open in temp.
bool CreateTempFile(FileSystem& fs, const SideNames& names, char* temp) {
    for (int n = 0; n < kSideNameTries; ++n) {
        if (!names.Form(n, kNewTag, temp)) return false;
        CreateStatus status = fs.CreateNew(temp);
        if (status == CreateStatus::kOk) return true;
        if (status == CreateStatus::kFailed) return false;
    }
    return false;
}

bool PickBackupName(FileSystem& fs, const SideNames& names, char* backup) {
    for (int n = 0; n < kSideNameTries; ++n) {
        if (!names.Form(n, kBackupTag, backup)) return false;
        if (fs.Probe(backup, nullptr) == PathKind::kMissing) return true;
    }
    return false;
}

// Closes the file whatever happens: an open file cannot be removed.
Error WriteAndClose(FileSystem& fs, const void* bytes, uint32_t size) {
    bool ok = true;
    if (size > 0) {
        uint32_t written = 0;
        ok = fs.Write(bytes, size, &written) && written == size;
    }
    ok = ok && fs.Flush();
    ok = fs.Close() && ok;
    if (!ok) return Error::Make(texts::kWriteError);
    return {};
}

// Only a held file is worth waiting for; any other failure ends at once.
MoveStatus MoveReplacingWithRetries(FileSystem& fs, const char* temp, const char* target) {
    for (int attempt = 1;; ++attempt) {
        MoveStatus status = fs.MoveReplacing(temp, target);
        if (status != MoveStatus::kBusy || attempt == kMoveTries) return status;
        fs.Pause(kMoveRetryPauseMs);
    }
}

// Without a replacing move (Windows 98/Me) the old file steps aside under a
// backup name until the new one is in place, and comes back if that fails.
Error MoveIntoPlace(FileSystem& fs, const SideNames& names, const char* temp, const char* target,
                    bool targetExists) {
    Error cannotCreate = Error::Make(texts::kCannotCreateFile, target);
    MoveStatus status = MoveReplacingWithRetries(fs, temp, target);
    if (status != MoveStatus::kUnsupported) return status == MoveStatus::kOk ? Error() : cannotCreate;
    if (!targetExists) return fs.Rename(temp, target) ? Error() : cannotCreate;

    char backup[kSideNameCapacity];
    if (!PickBackupName(fs, names, backup)) return cannotCreate;
    if (!fs.Rename(target, backup)) return cannotCreate;
    if (!fs.Rename(temp, target)) {
        // Saying only "cannot create" would hide where the old file went.
        if (!fs.Rename(backup, target)) return Error::Make(texts::kOldFileLeftAs, backup);
        return cannotCreate;
    }
    return {};
}

}  // namespace

Error ReplaceFileContents(FileSystem& fs, const char* targetPath, const void* bytes,
                          uint32_t size) {
    SideNames names;
    if (!MakeSideNames(targetPath, names)) return Error::Make(texts::kCannotCreateFile, targetPath);
    uint32_t attributes = 0;
    PathKind kind = fs.Probe(targetPath, &attributes);
    // A replacing move would go through a read-only file or one the game
    // holds open on some systems, where writing over it would have failed.
    bool refused = !Replaceable(kind, attributes) ||
                   (kind == PathKind::kFile && !fs.CanOpenExclusively(targetPath));
    if (!refused) {
        kind = ClearUnfinishedSideFiles(fs, targetPath, names, kind, &attributes);
        refused = !Replaceable(kind, attributes);
    }
    char temp[kSideNameCapacity];
    if (refused || !CreateTempFile(fs, names, temp)) {
        return Error::Make(texts::kCannotCreateFile, targetPath);
    }
    Error e = WriteAndClose(fs, bytes, size);
    // A hidden or system game file stays so; a file just written is one a
    // backup program should take, whatever the old one's archive bit said.
    uint32_t kept = kind == PathKind::kFile ? attributes & kPassedOnAttributes : 0;
    if (!e && !fs.SetAttributes(temp, kept | kAttributeArchive)) {
        e = Error::Make(texts::kCannotCreateFile, targetPath);
    }
    if (!e) e = MoveIntoPlace(fs, names, temp, targetPath, kind == PathKind::kFile);
    if (e) {
        fs.Remove(temp);
        return e;
    }
    RemoveBackups(fs, names);
    return {};
}
