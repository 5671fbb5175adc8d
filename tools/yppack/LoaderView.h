// A PE file's resources found as the loader finds them, by FindResource's rules.
#pragma once

#include <stdint.h>

#include "tools/yppack/Container.h"

namespace yppack {

// The data of the resource of type and name, found as the loader finds it
// after checking the layout (CheckImageLayout): the type among the id
// entries and the name (upper-cased, as FindResourceA passes it on) among
// the named entries, each by bisection, exact UTF-16 comparison; the one
// language under it; the data read through its section's VirtualSize, zeros
// past the raw data. Throws
// Failure when the loader would not find it, or would find it in more than
// one language (which one then depends on the user's).
Bytes LoadResource(const Bytes& file, uint32_t type, const char* name);

}  // namespace yppack
