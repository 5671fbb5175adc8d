// Whole-file reads and all-or-nothing writes for the packer.
#pragma once

#include <stddef.h>

#include <string>

#include "tools/yppack/Container.h"

namespace yppack {

// Throws Failure when the file cannot be read or is longer than maxSize.
Bytes ReadWholeFile(const std::string& path, size_t maxSize);

// Writes to a temporary file beside path and renames it over path, so that
// path is either the old file or the whole new one; throws Failure naming
// path and leaves no temporary file behind when any step fails.
// A path that is a link has the file it points to replaced, and stays a
// link. An existing path keeps its permission bits (on Windows its
// read-only, hidden, system and archive attributes); a read-only one is
// replaced all the same when its folder allows it, as a rename would. A
// path that is a folder, FIFO or device is refused and left as it is.
void WriteWholeFile(const std::string& path, const Bytes& bytes);

// Names the temporary files WriteWholeFile creates beside the output (a
// random short name by default); returns the namer it replaces. Tests plant
// things at the names it will pick.
using TempNamer = std::string (*)();
TempNamer SetTempNamer(TempNamer namer);

}  // namespace yppack
