// Any bytes as a container: the decoder must agree with a plain reference
// decoder on the output, and on which containers are damaged.
#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <vector>

#include "payload/PayloadDecoder.h"
#include "tests/support/ByteStreams.h"
#include "tests/support/ReferenceDecoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    reference::Bytes expected;
    bool wellFormed = reference::Decode(data, size, expected);
    // Whole reads and short ones must decode alike.
    for (uint32_t piece : {0xFFFFFFFFu, 1000u}) {
        support::PieceSource source(data, size, piece);
        support::RecordingSink sink;
        Error e = DecodeResource(source, sink, "EXE");
        if (wellFormed != !e) abort();
        if (wellFormed && sink.bytes != expected) abort();
        // Blocks of 16384, then at most one shorter tail, damaged or not.
        const std::vector<uint32_t>& appends = sink.appends;
        for (size_t i = 0; i < appends.size(); ++i) {
            if (appends[i] == 0 || appends[i] > 16384 || (i + 1 < appends.size() && appends[i] < 16384)) abort();
        }
        if (!wellFormed && !sink.bytes.empty() && size >= 8) {
            uint32_t packedSize = data[5] | data[6] << 8 | data[7] << 16;
            // A header promising too much must fail before any output.
            if (packedSize + 8ull > size) abort();
        }
    }
    return 0;
}
