// Exact longest matches: for each table length, the most recent earlier
// occurrence of the same bytes is the closest, so one hash chain per length
// answers "is there one within reach?" without walking long runs of equal
// bytes; the answers are monotone in the length, so a binary search over the
// sixteen lengths finds the longest.
#include "tools/yppack/MatchFinder.h"

#include <string.h>

#include <algorithm>

#include "payload/PayloadDecoder.h"

namespace yppack {

namespace {

// The ring's zeros stand before the data: a match reaching back before the
// start copies them, and distance code 0 reads this far back.
constexpr uint32_t kZeros = kFullRingDistance;
constexpr uint32_t kMaxLength = 128;
constexpr uint32_t kBucketBits = 14;
constexpr uint32_t kBuckets = 1u << kBucketBits;
// Chain links are kept only as far back as a distance can reach.
constexpr uint32_t kLinks = 8192;
constexpr uint32_t kLinkMask = kLinks - 1;
static_assert(kLinks > kMaxMatchDistance, "a link lives while its position is in reach");
constexpr uint64_t kHashBase = 0x100000001B3ull;
constexpr uint64_t kMix = 0x9E3779B97F4A7C15ull;
constexpr uint32_t kProgressStep = 1u << 20;

uint8_t IndexForLength(uint32_t length) {
    uint8_t index = LongestMatch::kNone;
    for (uint8_t i = 0; i < kLengthCount && LengthTable[i] <= length; ++i) index = i;
    return index;
}

uint32_t CommonLength(const uint8_t* a, const uint8_t* b, uint32_t limit) {
    uint32_t n = 0;
    while (n + 8 <= limit) {
        uint64_t x, y;
        memcpy(&x, a + n, 8);
        memcpy(&y, b + n, 8);
        if (x != y) break;
        n += 8;
    }
    while (n < limit && a[n] == b[n]) ++n;
    return n;
}

uint16_t DistanceCode(uint32_t distance) {
    return distance == kFullRingDistance ? 0 : static_cast<uint16_t>(distance);
}

std::vector<uint8_t> WithRingZeros(const uint8_t* data, size_t size) {
    std::vector<uint8_t> e(kZeros + size);
    if (size) memcpy(e.data() + kZeros, data, size);
    return e;
}

// Tries every distance at position p of the zero-led text; the tail of the
// data and the slow finder use it.
LongestMatch TryEveryDistance(const std::vector<uint8_t>& e, uint32_t p) {
    uint32_t left = static_cast<uint32_t>(e.size()) - p;
    uint32_t limit = std::min(left, kMaxLength);
    uint32_t best = 0;
    uint32_t bestDistance = 0;
    auto consider = [&](uint32_t distance) {
        uint32_t n = CommonLength(e.data() + p - distance, e.data() + p, limit);
        if (n > best) {
            best = n;
            bestDistance = distance;
        }
    };
    for (uint32_t d = 1; d <= kMaxMatchDistance && best < limit; ++d) consider(d);
    if (best < limit) consider(kFullRingDistance);

    LongestMatch m;
    if (best == 0) return m;
    // Reaching the end, any length will do: the surplus is dropped.
    m.lengthIndex = best == left ? kLengthCount - 1 : IndexForLength(best);
    if (m.lengthIndex != LongestMatch::kNone) m.distanceCode = DistanceCode(bestDistance);
    return m;
}

}  // namespace

std::vector<LongestMatch> FindLongestMatchesSlowly(const uint8_t* data, size_t size) {
    std::vector<uint8_t> e = WithRingZeros(data, size);
    std::vector<LongestMatch> out(size);
    for (size_t i = 0; i < size; ++i) out[i] = TryEveryDistance(e, kZeros + static_cast<uint32_t>(i));
    return out;
}

std::vector<LongestMatch> FindLongestMatches(const uint8_t* data, size_t size,
                                             const Progress& progress) {
    std::vector<uint8_t> e = WithRingZeros(data, size);
    const uint8_t* text = e.data();
    const uint32_t end = static_cast<uint32_t>(e.size());
    std::vector<LongestMatch> out(size);

    // Prefix hashes give any length's hash at any position in one step.
    std::vector<uint64_t> prefix(end + 1);
    prefix[0] = 0;
    for (uint32_t p = 0; p < end; ++p) prefix[p + 1] = prefix[p] * kHashBase + text[p] + 1;
    uint64_t power[kLengthCount];
    for (uint32_t i = 0; i < kLengthCount; ++i) {
        power[i] = 1;
        for (uint32_t k = 0; k < LengthTable[i]; ++k) power[i] *= kHashBase;
    }
    auto bucket = [&](uint32_t p, uint32_t i) {
        uint64_t h = prefix[p + LengthTable[i]] - prefix[p] * power[i];
        return static_cast<uint32_t>((h * kMix) >> (64 - kBucketBits));
    };

    // A whole ring back has one candidate: its common length, capped, runs
    // backwards in one pass.
    std::vector<uint8_t> ringBack(end + 1, 0);
    for (uint32_t p = end; p-- > kZeros;) {
        ringBack[p] = text[p] == text[p - kFullRingDistance]
                          ? static_cast<uint8_t>(std::min<uint32_t>(ringBack[p + 1] + 1, kMaxLength))
                          : 0;
    }

    // Position 0 never occurs (the walk starts past it), so 0 ends a chain.
    std::vector<uint32_t> heads(kLengthCount * kBuckets, 0);
    std::vector<uint32_t> links(kLengthCount * kLinks, 0);

    auto probe = [&](uint32_t p, uint32_t i) -> uint32_t {
        uint32_t length = LengthTable[i];
        uint32_t q = heads[i * kBuckets + bucket(p, i)];
        while (q != 0 && p - q <= kMaxMatchDistance) {
            if (memcmp(text + q, text + p, length) == 0) return p - q;
            q = links[i * kLinks + (q & kLinkMask)];
        }
        return 0;
    };

    LongestMatch previous;
    uint32_t previousDistance = 0;
    for (uint32_t p = kZeros - kMaxMatchDistance; p < end; ++p) {
        uint32_t left = end - p;
        if (p >= kZeros) {
            LongestMatch m;
            if (left < kMaxLength) {
                m = TryEveryDistance(e, p);
            } else {
                // One step on, the previous match is still there, one shorter.
                int lo = -1;
                uint32_t distance = 0;
                if (previous.lengthIndex != LongestMatch::kNone) {
                    uint8_t known = IndexForLength(LengthTable[previous.lengthIndex] - 1u);
                    if (known != LongestMatch::kNone) {
                        lo = known;
                        distance = previousDistance;
                    }
                }
                int hi = static_cast<int>(kLengthCount) - 1;
                while (lo < hi) {
                    int mid = (lo + hi + 1) / 2;
                    if (uint32_t d = probe(p, static_cast<uint32_t>(mid))) {
                        lo = mid;
                        distance = d;
                    } else {
                        hi = mid - 1;
                    }
                }
                uint8_t ringIndex = IndexForLength(ringBack[p]);
                if (ringIndex != LongestMatch::kNone && static_cast<int>(ringIndex) > lo) {
                    lo = ringIndex;
                    distance = kFullRingDistance;
                }
                if (lo >= 0) {
                    m.lengthIndex = static_cast<uint8_t>(lo);
                    m.distanceCode = DistanceCode(distance);
                }
            }
            out[p - kZeros] = m;
            previous = m;
            previousDistance = m.distanceCode == 0 ? kFullRingDistance : m.distanceCode;
            if (progress && (p - kZeros) % kProgressStep == 0) {
                progress(static_cast<double>(p - kZeros) / static_cast<double>(size));
            }
        }
        for (uint32_t i = 0; i < kLengthCount && LengthTable[i] <= left; ++i) {
            uint32_t& head = heads[i * kBuckets + bucket(p, i)];
            links[i * kLinks + (p & kLinkMask)] = head;
            head = p;
        }
    }
    if (progress) progress(1.0);
    return out;
}

}  // namespace yppack
