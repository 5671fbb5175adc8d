// The update operation's order: decode whole, check, then write.
#include "payload/UpdateOperation.h"

#include "payload/Checksum.h"
#include "payload/MemoryStream.h"
#include "payload/PayloadDecoder.h"
#include "payload/ReplaceFile.h"
#include "resources/Names.h"

Error UpdateFile(FileSystem& fs, const char* targetPath, ByteSource& container, const char* containerName,
                 const ResourceBytes& checksum) {
    // Updaters made before the checksum carry none and stay as they were.
    if (Error e = CheckChecksumResource(checksum, names::kChecksumResource)) return e;
    MemoryStream decoded;
    if (Error e = DecodeResource(container, decoded, containerName)) return e;
    if (Error e = CheckDecoded(decoded.Data(), decoded.Size(), checksum, containerName)) return e;
    return ReplaceFileContents(fs, targetPath, decoded.Data(), decoded.Size());
}
