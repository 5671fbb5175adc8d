// A PE file as the loader sees it: its layout checked, its resources found by FindResource's rules.
#pragma once

#include <stdint.h>

#include "tools/yppack/Container.h"

namespace yppack {

// Throws Failure naming the first layout rule the file breaks: headers that
// run past SizeOfHeaders or into the sections, a FileAlignment outside
// 512..64 KiB or a SectionAlignment below it (or, below the page size, apart
// from it), sections unaligned, out of order, overlapping or with gaps
// between them, raw data past the file's end, a SizeOfImage other than the
// end of the last section, a resource directory outside the sections.
void CheckImageLayout(const Bytes& file);

// The data of the resource of type and name, found as the loader finds it
// after checking the layout: the type among the id entries and the name
// (upper-cased, as FindResourceA passes it on) among the named entries, each
// by bisection, exact UTF-16 comparison; the one language under it; the data
// read through its section's VirtualSize, zeros past the raw data. Throws
// Failure when the loader would not find it, or would find it in more than
// one language (which one then depends on the user's).
Bytes LoadResource(const Bytes& file, uint32_t type, const char* name);

}  // namespace yppack
