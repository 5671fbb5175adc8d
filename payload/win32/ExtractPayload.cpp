// The update operation: decode the payload in memory, check it, then replace
// the file.
#include "payload/win32/ExtractPayload.h"

#include "payload/Checksum.h"
#include "payload/MemoryStream.h"
#include "payload/PayloadDecoder.h"
#include "payload/ReplaceFile.h"
#include "payload/win32/ResourceStream.h"
#include "platform/win32/Win32FileStore.h"
#include "resources/Names.h"

Error ExtractPayload(const char* resourceName, const char* targetPath) {
    MemoryStream decoded;
    {
        ResourceStream resource;
        if (Error e = resource.Open(resourceName)) return e;
        if (Error e = DecodeResource(resource, decoded, resourceName, &StderrDots())) return e;
    }
    // Updaters made before the checksum carry none and stay as they were.
    // LoadResource of the program's own module is an address, not a load.
    HMODULE self = GetModuleHandleA(nullptr);
    HRSRC stored = FindResourceA(self, names::kChecksumResource, MAKEINTRESOURCEA(10));  // RT_RCDATA
    const void* checksum = stored ? LockResource(LoadResource(self, stored)) : nullptr;
    if (Error e = CheckDecoded(decoded.Data(), decoded.Size(), static_cast<const uint8_t*>(checksum),
                               stored ? SizeofResource(self, stored) : 0, resourceName)) {
        return e;
    }
    // Nothing on disk is touched before the whole file is decoded and checked.
    Win32FileStore store;
    return ReplaceFileContents(store, targetPath, decoded.Data(), decoded.Size());
}
