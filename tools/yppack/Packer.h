// Packs a file into the smallest container the format allows.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "tools/yppack/Container.h"
#include "tools/yppack/MatchFinder.h"

namespace yppack {

// Throws Failure when data is longer than unpackedSize can say or its coded
// stream longer than packedSize can.
Bytes Pack(const uint8_t* data, size_t size, const Progress& progress = {});

}  // namespace yppack
