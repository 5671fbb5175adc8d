// Longest match at every position, over every distance the format can code.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <functional>
#include <vector>

namespace yppack {

// Reports work done so far, from 0 to 1.
using Progress = std::function<void(double)>;

// The longest match usable at one position. Every shorter table length is
// available at the same distance, since a match's prefix is a match too.
struct LongestMatch {
    static constexpr uint8_t kNone = 0xFF;
    uint8_t lengthIndex = kNone;  // into LengthTable; kNone: no match of 3
    uint16_t distanceCode = 0;    // as coded: 1..4095, or 0 for a ring back
};

// Ring size: distance code 0 copies from this far back.
constexpr uint32_t kFullRingDistance = 16384;

// For each position of data, the longest match over distances 1..4095 and a
// whole ring back, with the zeros the ring holds before the start. A match
// that covers the rest of data counts as any length: bytes emitted past the
// end are dropped, so it is reported as the longest table length.
std::vector<LongestMatch> FindLongestMatches(const uint8_t* data, size_t size,
                                             const Progress& progress = {});

// The same by trying every distance; slow, for checking the fast one.
std::vector<LongestMatch> FindLongestMatchesSlowly(const uint8_t* data, size_t size);

}  // namespace yppack
