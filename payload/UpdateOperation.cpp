// The update operation's order: decode whole, check, then write.
#include "payload/UpdateOperation.h"

#include "payload/Checksum.h"
#include "payload/MemoryStream.h"
#include "payload/PayloadDecoder.h"
#include "payload/ReplaceFile.h"
#include "resources/Names.h"
#include "resources/Texts.h"

Error UpdateFile(FileSystem& fs, const char* targetPath, const ResourceBytes& container, const char* containerName,
                 const ResourceBytes& checksum, DecodeTrace* trace) {
    if (container.state == ResourceState::kAbsent) return Error::Make(texts::kResourceNotFound, containerName);
    if (container.state != ResourceState::kLoaded) return Error::Make(texts::kResourceDamaged, containerName);
    // Updaters made before the checksum carry none and stay as they were.
    if (Error e = CheckChecksumResource(checksum, names::kChecksumResource)) return e;
    MemorySource source(container.data, container.size);
    MemoryStream decoded;
    if (Error e = DecodeResource(source, decoded, containerName, trace)) return e;
    if (Error e = CheckDecoded(decoded.Data(), decoded.Size(), checksum, containerName)) return e;
    return ReplaceFileContents(fs, targetPath, decoded.Data(), decoded.Size());
}
