// When the main window's copy of the install folder changes, and what it writes to.
#include "app/InstallFolder.h"

#include <string.h>

#include "platform/Path.h"
#include "platform/Text.h"
#include "resources/Names.h"
#include "resources/Texts.h"

Error RereadAfterFirstLocate(Registry& registry, char* installDir, bool* giveUp) {
    *giveUp = false;
    if (Error e = ReadInstallDir(registry, installDir, kPathCapacity)) return e;
    *giveUp = installDir[0] == '\0';
    return {};
}

Error AdoptChangedFolder(Registry& registry, char* installDir) {
    char fresh[kPathCapacity] = "";
    if (Error e = ReadInstallDir(registry, fresh, sizeof fresh)) return e;
    if (fresh[0] != '\0') memcpy(installDir, fresh, sizeof fresh);
    return {};
}

Error UpdateTargetPath(const char* installDir, char* out, size_t capacity) {
    if (capacity > 0) out[0] = '\0';
    if (!IsFullPath(installDir)) return Error::Make(texts::kNoInstallFolder);
    TextBuilder target(out, capacity);
    target.Append(installDir);
    // The record always ends in "\" when this program wrote it; one written
    // by hand or by another tool may not, and "C:\Game" + the name would land
    // beside the folder as C:\Gamekestravon.exe.
    if (!EndsWithBackslash(installDir)) target.Append("\\");
    target.Append(names::kTargetFile);
    // Never a cut path: writing a shortened name would hit another file.
    if (target.Overflowed()) {
        out[0] = '\0';
        return Error::Make(texts::kCannotCreateFile, installDir);
    }
    return {};
}
