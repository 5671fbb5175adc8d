// Replaces a file through a flushed temporary beside it.
#include "payload/ReplaceFile.h"

#include <stddef.h>

#include "platform/Cp932.h"
#include "resources/Texts.h"

namespace {

// The longest Windows path plus the suffix of a side file.
constexpr size_t kSideNameCapacity = 260 + 8;
constexpr int kSideNameTries = 100;

// Side files are named "<target>.~<n><tag>", beside the target so that the
// final rename stays on one volume: 'n' for the new contents, 'b' for the old
// file kept while the new one is moved in.
bool FormSideName(const char* target, int n, char tag, char* out) {
    char number[3] = {static_cast<char>('0' + n / 10), static_cast<char>('0' + n % 10), '\0'};
    TextBuilder name(out, kSideNameCapacity);
    name.Append(target).Append(".~").Append(number).AppendBytes(&tag, 1);
    return !name.Overflowed();
}

// Leaves the new file created and open in temp.
bool CreateTempFile(FileStore& store, const char* target, char* temp) {
    for (int n = 0; n < kSideNameTries; ++n) {
        if (!FormSideName(target, n, 'n', temp)) return false;
        CreateStatus status = store.CreateNew(temp);
        if (status == CreateStatus::kOk) return true;
        if (status == CreateStatus::kFailed) return false;
    }
    return false;
}

bool PickBackupName(FileStore& store, const char* target, char* backup) {
    for (int n = 0; n < kSideNameTries; ++n) {
        if (!FormSideName(target, n, 'b', backup)) return false;
        if (store.Kind(backup) == FileKind::kMissing) return true;
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

// Without a replacing move (Windows 98/Me) the old file steps aside under a
// backup name until the new one is in place, and comes back if that fails.
bool MoveIntoPlace(FileStore& store, const char* temp, const char* target, bool targetExists) {
    MoveStatus status = store.MoveReplacing(temp, target);
    if (status != MoveStatus::kUnsupported) return status == MoveStatus::kOk;
    if (!targetExists) return store.Rename(temp, target);

    char backup[kSideNameCapacity];
    if (!PickBackupName(store, target, backup)) return false;
    if (!store.Rename(target, backup)) return false;
    if (!store.Rename(temp, target)) {
        store.Rename(backup, target);
        return false;
    }
    // The update is done; a backup that refuses to go harms nothing.
    store.Remove(backup);
    return true;
}

}  // namespace

Error ReplaceFileContents(FileStore& store, const char* targetPath, const void* bytes,
                          uint32_t size) {
    // A replacing move would go through a read-only file or one the game
    // holds open on some systems, where writing over it would have failed.
    FileKind kind = store.Kind(targetPath);
    bool refused = kind == FileKind::kReadOnlyFile || kind == FileKind::kOther ||
                   (kind == FileKind::kFile && !store.CanOpenExclusively(targetPath));
    char temp[kSideNameCapacity];
    if (refused || !CreateTempFile(store, targetPath, temp)) {
        return Error::Make(texts::kCannotCreateFile, targetPath);
    }
    if (Error e = WriteAndClose(store, bytes, size)) {
        store.Remove(temp);
        return e;
    }
    if (!MoveIntoPlace(store, temp, targetPath, kind == FileKind::kFile)) {
        store.Remove(temp);
        return Error::Make(texts::kCannotCreateFile, targetPath);
    }
    return {};
}
