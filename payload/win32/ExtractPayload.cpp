// The update operation over the program's own resources and the real disk.
#include "payload/win32/ExtractPayload.h"

#include "payload/UpdateOperation.h"
#include "platform/win32/OwnResource.h"
#include "platform/win32/Win32FileSystem.h"
#include "resources/Names.h"
#include "resources/Texts.h"

Error ExtractPayload(const char* resourceName, const char* targetPath) {
    OwnResource container(resourceName);
    const ResourceBytes& bytes = container.Bytes();
    if (bytes.state != ResourceState::kLoaded) return Error::Make(texts::kResourceNotFound, resourceName);
    OwnResource checksum(names::kChecksumResource);
    MemorySource source(bytes.data, bytes.size);
    Win32FileSystem fileSystem;
    return UpdateFile(fileSystem, targetPath, source, resourceName, checksum.Bytes());
}
