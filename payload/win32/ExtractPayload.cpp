// The update operation over the program's own resources and the real disk.
#include "payload/win32/ExtractPayload.h"

#include "payload/UpdateOperation.h"
#include "platform/win32/OwnResource.h"
#include "platform/win32/Win32FileSystem.h"
#include "resources/Names.h"

Error ExtractPayload(const char* resourceName, const char* targetPath) {
    OwnResource container(resourceName);
    OwnResource checksum(names::kChecksumResource);
    Win32FileSystem fileSystem;
    // The decoder's progress dots: the one trace the program leaves.
    return UpdateFile(fileSystem, targetPath, container.Bytes(), resourceName, checksum.Bytes(), &StderrDots());
}
