// The update operation: decode the payload in memory, then replace the file.
#include "payload/win32/ExtractPayload.h"

#include "payload/MemoryStream.h"
#include "payload/PayloadDecoder.h"
#include "payload/ReplaceFile.h"
#include "payload/win32/ResourceStream.h"
#include "platform/win32/Win32FileStore.h"

Error ExtractPayload(const char* resourceName, const char* targetPath) {
    MemoryStream decoded;
    {
        ResourceStream resource;
        if (Error e = resource.Open(resourceName)) return e;
        if (Error e = DecodeResource(resource, decoded, resourceName)) return e;
    }
    // Nothing on disk is touched before the whole file is decoded.
    Win32FileStore store;
    return ReplaceFileContents(store, targetPath, decoded.Data(), decoded.Size());
}
