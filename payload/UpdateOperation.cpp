// The update operation's order: decode whole, check, then write.
#include "payload/UpdateOperation.h"

#include "payload/Checksum.h"
#include "payload/MemoryStream.h"
#include "payload/PayloadDecoder.h"
#include "payload/ReplaceFile.h"

Error UpdateFile(FileSystem& fs, const char* targetPath, ByteSource& container, const char* containerName,
                 const ResourceBytes& checksum) {
    MemoryStream decoded;
    if (Error e = DecodeResource(container, decoded, containerName)) return e;
    // Updaters made before the checksum carry none and stay as they were.
    const uint8_t* stored = checksum.state == ResourceState::kLoaded ? checksum.data : nullptr;
    if (Error e = CheckDecoded(decoded.Data(), decoded.Size(), stored, checksum.size, containerName)) return e;
    return ReplaceFileContents(fs, targetPath, decoded.Data(), decoded.Size());
}
