// The update operation: decode the payload in memory, check it, then replace
// the file.
#include "payload/win32/ExtractPayload.h"

#include "payload/Checksum.h"
#include "payload/MemoryStream.h"
#include "payload/PayloadDecoder.h"
#include "payload/ReplaceFile.h"
#include "payload/win32/ResourceStream.h"
#include "platform/win32/Win32FileStore.h"
#include "resources/Texts.h"

Error ExtractPayload(const char* resourceName, const char* targetPath) {
    MemoryStream decoded;
    {
        ResourceStream resource;
        if (Error e = resource.Open(resourceName)) return e;
        if (Error e = DecodeResource(resource, decoded, resourceName)) return e;
    }
    {
        // Updaters made before the checksum carry none and stay as they were.
        ResourceStream stored;
        bool present = !stored.Open(texts::kChecksumResource);
        uint8_t checksum[kChecksumSize] = {};
        if (present) stored.Read(checksum, kChecksumSize);
        if (Error e = CheckDecoded(decoded.Data(), decoded.Size(), present ? checksum : nullptr,
                                   stored.Size(), resourceName)) {
            return e;
        }
    }
    // Nothing on disk is touched before the whole file is decoded and checked.
    Win32FileStore store;
    return ReplaceFileContents(store, targetPath, decoded.Data(), decoded.Size());
}
