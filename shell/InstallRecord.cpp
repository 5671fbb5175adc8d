// The install location record's rules over the registry seam.
#include "shell/InstallRecord.h"

#include <string.h>

#include "resources/Texts.h"

namespace {

// The game's installer shares this key: it is created rather than refused.
Error OpenRecordKey(Registry& registry) {
    if (!registry.OpenOrCreateKey(texts::kRecordKey)) {
        return Error::Make(texts::kKeyNotCreated, texts::kRecordKey);
    }
    return {};
}

}  // namespace

Error ReadInstallDir(Registry& registry, char* out, size_t capacity) {
    if (capacity == 0) return Error::Make(texts::kValueNotRead, texts::kRecordValue);
    if (Error e = OpenRecordKey(registry)) return e;

    RegStatus subkey = registry.OpenSubkey(texts::kRecordSubkey);
    if (subkey == RegStatus::kMissing) {
        out[0] = '\0';
        return {};
    }
    // A subkey that exists but cannot be opened holds a value that cannot be
    // read; saying so beats pretending the game was never installed.
    if (subkey != RegStatus::kOk) return Error::Make(texts::kValueNotRead, texts::kRecordValue);

    // Read aside first: on an error the caller's copy stays as it was.
    char dir[kInstallDirCapacity];
    switch (registry.GetString(texts::kRecordValue, dir, sizeof dir)) {
    case RegStatus::kOk:
        break;
    case RegStatus::kMissing:
        dir[0] = '\0';
        break;
    case RegStatus::kWrongType:
        return Error::Make(texts::kValueWrongType, texts::kRecordValue);
    case RegStatus::kFailed:
        return Error::Make(texts::kValueNotRead, texts::kRecordValue);
    }
    size_t length = strlen(dir);
    if (length >= capacity) return Error::Make(texts::kValueNotRead, texts::kRecordValue);
    memcpy(out, dir, length + 1);
    return {};
}

Error StoreInstallDir(Registry& registry, const char* dir) {
    if (Error e = OpenRecordKey(registry)) return e;
    if (!registry.CreateSubkey(texts::kRecordSubkey)) {
        return Error::Make(texts::kKeyNotCreated, texts::kRecordSubkey);
    }
    if (!registry.SetString(texts::kRecordValue, dir)) {
        return Error::Make(texts::kValueNotSet, texts::kRecordValue);
    }
    return {};
}
