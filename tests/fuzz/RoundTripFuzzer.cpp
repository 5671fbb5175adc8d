// Any bytes packed and unpacked again come back unchanged, never coded worse
// than all literals.
#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>

#include "tools/yppack/Container.h"
#include "tools/yppack/Packer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    yppack::Bytes input(data, data + size);
    yppack::Bytes container = yppack::Pack(data, size);
    size_t groups = size == 0 ? 1 : (size + 7) / 8;
    if (container.size() > 8 + 9 * groups) abort();
    if (yppack::Unpack(container) != input) abort();
    return 0;
}
