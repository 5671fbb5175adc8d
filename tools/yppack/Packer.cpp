// Optimal parse: a match costs the same whatever its length or distance, so
// the cheapest coding is a shortest path over positions where each step is a
// literal or any table length up to the longest match there.
#include "tools/yppack/Packer.h"

#include <algorithm>
#include <limits>
#include <string>

namespace yppack {

namespace {

constexpr uint8_t kLiteral = 0xFF;
constexpr uint32_t kProgressStep = 1u << 20;
// Share of the work the match search takes, for progress.
constexpr double kSearchShare = 0.85;

}  // namespace

Bytes Pack(const uint8_t* data, size_t size, const Progress& progress) {
    if (size > kMaxUnpackedSize) {
        throw Failure("input is " + std::to_string(size) + " bytes; a container holds at most " +
                      std::to_string(kMaxUnpackedSize));
    }
    const uint32_t n = static_cast<uint32_t>(size);
    std::vector<LongestMatch> matches = FindLongestMatches(
        data, size, [&](double f) { if (progress) progress(f * kSearchShare); });

    // cost[i]: fewest bits coding data[0, i); step[i]: the item that ends there.
    constexpr uint32_t kUnreached = std::numeric_limits<uint32_t>::max();
    std::vector<uint32_t> cost(n + 1, kUnreached);
    std::vector<uint32_t> from(n + 1, 0);
    std::vector<uint8_t> step(n + 1, kLiteral);
    cost[0] = 0;
    for (uint32_t i = 0; i < n; ++i) {
        uint32_t c = cost[i];
        if (c + kLiteralBits < cost[i + 1]) {
            cost[i + 1] = c + kLiteralBits;
            from[i + 1] = i;
            step[i + 1] = kLiteral;
        }
        uint8_t longest = matches[i].lengthIndex;
        if (longest != LongestMatch::kNone) {
            for (uint8_t k = 0; k <= longest; ++k) {
                // A match may run past the end: the decoder drops the surplus.
                uint32_t j = std::min<uint32_t>(i + LengthTable[k], n);
                if (c + kMatchBits < cost[j]) {
                    cost[j] = c + kMatchBits;
                    from[j] = i;
                    step[j] = k;
                }
            }
        }
        if (progress && i % kProgressStep == 0) {
            progress(kSearchShare + (1 - kSearchShare) * static_cast<double>(i) / n);
        }
    }

    std::vector<uint32_t> ends;
    for (uint32_t j = n; j > 0; j = from[j]) ends.push_back(j);

    Bytes out(kContainerHeaderSize);
    uint32_t items = 0;
    size_t flagAt = 0;
    auto startItem = [&](bool match) {
        if (items % kGroupItems == 0) {
            flagAt = out.size();
            out.push_back(0);
        }
        if (match) out[flagAt] |= static_cast<uint8_t>(0x80 >> (items % kGroupItems));
        ++items;
    };
    for (size_t k = ends.size(); k-- > 0;) {
        uint32_t j = ends[k];
        uint32_t i = from[j];
        if (step[j] == kLiteral) {
            startItem(false);
            out.push_back(data[i]);
        } else {
            const LongestMatch& m = matches[i];
            startItem(true);
            out.push_back(static_cast<uint8_t>((m.distanceCode & 0x0F) << 4 | step[j]));
            out.push_back(static_cast<uint8_t>(m.distanceCode >> 4));
        }
    }
    // The decoder reads whole groups, and at least one: pad with the cheapest
    // items, literals, whose bytes fall past the end and are dropped.
    while (items == 0 || items % kGroupItems != 0) {
        startItem(false);
        out.push_back(0);
    }

    size_t packedSize = out.size() - kContainerHeaderSize;
    if (packedSize > kMaxPackedSize) {
        throw Failure("coded stream would be " + std::to_string(packedSize) +
                      " bytes; a container holds at most " + std::to_string(kMaxPackedSize));
    }
    WriteHeader(out.data(), n, static_cast<uint32_t>(packedSize));
    if (progress) progress(1.0);
    return out;
}

}  // namespace yppack
