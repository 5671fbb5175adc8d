// The install location record's rules over the registry seam.
#include "locate/InstallRecord.h"

#include <string.h>

#include "platform/Text.h"
#include "resources/Names.h"
#include "resources/Texts.h"

namespace {

// The game's installer shares this key: it is created rather than refused.
Error OpenRecordKey(Registry& registry) {
    if (!registry.OpenOrCreateKey(names::kRecordKey)) {
        return Error::Make(texts::kKeyNotCreated, names::kRecordKey);
    }
    return {};
}

}  // namespace

Error ReadInstallDir(Registry& registry, char* out, size_t capacity) {
    if (capacity == 0) return Error::Make(texts::kValueNotRead, names::kRecordValue);
    if (Error e = OpenRecordKey(registry)) return e;

    RegStatus subkey = registry.OpenSubkey(names::kRecordSubkey);
    if (subkey == RegStatus::kMissing) {
        out[0] = '\0';
        return {};
    }
    // A subkey that exists but cannot be opened holds a value that cannot be
    // read; saying so beats pretending the game was never installed.
    if (subkey != RegStatus::kOk) return Error::Make(texts::kValueNotRead, names::kRecordValue);

    // Read aside first: on an error the caller's copy stays as it was.
    char dir[kPathCapacity];
    switch (registry.GetString(names::kRecordValue, dir, sizeof dir)) {
    case RegStatus::kOk:
        break;
    case RegStatus::kMissing:
        dir[0] = '\0';
        break;
    case RegStatus::kWrongType:
        return Error::Make(texts::kValueWrongType, names::kRecordValue);
    case RegStatus::kFailed:
        return Error::Make(texts::kValueNotRead, names::kRecordValue);
    }
    size_t length = strlen(dir);
    if (length >= capacity) return Error::Make(texts::kValueNotRead, names::kRecordValue);
    memcpy(out, dir, length + 1);
    return {};
}

Error StoreInstallDir(Registry& registry, const char* dir) {
    if (Error e = OpenRecordKey(registry)) return e;
    if (!registry.CreateSubkey(names::kRecordSubkey)) {
        return Error::Make(texts::kKeyNotCreated, names::kRecordSubkey);
    }
    if (!registry.SetString(names::kRecordValue, dir)) {
        return Error::Make(texts::kValueNotSet, names::kRecordValue);
    }
    return {};
}

bool FolderRecordValue(char* out, size_t capacity, const char* folder) {
    TextBuilder text(out, capacity);
    text.Append(folder).Append("\\");
    return !text.Overflowed();
}
