// Mutations that keep a PE file a PE file while moving its headers and sections.
#pragma once

#include <stddef.h>
#include <stdint.h>

namespace fuzz {

// Changes the PE file in data[0, size) in place, growing it to at most
// maxSize: header fields set to values the layout checks care about, the
// headers moved, sections grown or cut, files truncated. Returns the new
// size, or 0 when data is no PE file it can change.
size_t MutatePe(uint8_t* data, size_t size, size_t maxSize, uint32_t seed);

}  // namespace fuzz
