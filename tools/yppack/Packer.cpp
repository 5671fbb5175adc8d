// Optimal parse: a match costs the same whatever its length or distance, so
// the cheapest coding is a shortest path over positions where each step is a
// literal or any table length up to the longest match there; the group an
// item opens, padding and all, is part of its cost.
#include "tools/yppack/Packer.h"

#include <algorithm>
#include <string>

namespace yppack {

namespace {

constexpr uint32_t kProgressStep = 1u << 20;
// Share of the work the match search takes, for progress.
constexpr double kSearchShare = 0.85;

// A container's coded stream is 9 bytes a group (its flag and eight
// one-byte slots, padding included) plus one more byte per match. The
// parse is a shortest path over (position, items so far modulo 8): an
// item taken when the count is a multiple of 8 opens a group. Each state
// holds its cost and the item that reached it in one word, so that a
// relaxation is a plain minimum; a tie goes to the smaller item code.
constexpr uint32_t kItemBits = 5;
constexpr uint32_t kItemMask = (1u << kItemBits) - 1;
constexpr uint32_t kLiteralItem = kLengthCount;
static_assert(kLiteralItem <= kItemMask, "an item code fits its field");
constexpr uint32_t kUnreached = 0x7FFFFFFF;  // far above any real cost, and adding to it cannot wrap
static_assert((9ull * (kMaxUnpackedSize / 8 + 1) + kMaxUnpackedSize) << kItemBits < kUnreached,
              "the dearest coding fits below kUnreached");
constexpr uint32_t kGroupBytes = 1 + kGroupItems;
constexpr uint32_t kStates = kGroupItems;

// Where each chosen item starts, its code; kNoItem elsewhere.
constexpr uint8_t kNoItem = 0xFF;
static_assert(kLiteralItem < kNoItem, "an item code is not kNoItem");

// Costs are needed only as far ahead as the longest match reaches, so they
// live in a window of rows reused round and round; what the way back needs,
// the item that reached each state, is kept for every position in a byte.
// At the largest input this is the difference between half a gigabyte and
// an eighth of one.
constexpr uint32_t kWindowRows = 256;
static_assert(kWindowRows > 128, "a match never reaches a row still in use");

std::vector<uint8_t> ParseOptimally(const std::vector<LongestMatch>& matches, uint32_t n,
                                    const Progress& progress) {
    std::vector<uint32_t> window(size_t{kWindowRows} * kStates, kUnreached);
    auto row = [&](uint32_t j) { return &window[size_t{j % kWindowRows} * kStates]; };
    std::vector<uint8_t> reachedBy(size_t{n + 1} * kStates);
    // A match reaching the end may be longer than what it covers.
    uint8_t endCovered[kStates] = {};
    row(0)[0] = 0;
    for (uint32_t i = 0; i < n; ++i) {
        uint32_t entering[kStates];
        uint32_t* here = row(i);
        for (uint32_t k = 0; k < kStates; ++k) {
            reachedBy[size_t{i} * kStates + k] = static_cast<uint8_t>(here[k] & kItemMask);
            uint32_t cost = here[k] & ~kItemMask;
            entering[(k + 1) % kStates] = cost + (k == 0 ? kGroupBytes << kItemBits : 0);
            here[k] = kUnreached;  // the row comes round again for position i + kWindowRows
        }
        auto relax = [&](uint32_t j, uint32_t add) {
            uint32_t* target = row(j);
            for (uint32_t k = 0; k < kStates; ++k) target[k] = std::min(target[k], entering[k] + add);
        };
        relax(i + 1, kLiteralItem);
        uint8_t longest = matches[i].lengthIndex;
        if (longest != LongestMatch::kNone) {
            for (uint32_t k = 0; k <= longest; ++k) {
                uint32_t j = i + LengthTable[k];
                uint32_t add = (1u << kItemBits) + k;
                if (j < n) {
                    relax(j, add);
                    continue;
                }
                // Runs past the end: the decoder drops the surplus.
                uint32_t* target = row(n);
                for (uint32_t s = 0; s < kStates; ++s) {
                    if (entering[s] + add < target[s]) {
                        target[s] = entering[s] + add;
                        endCovered[s] = static_cast<uint8_t>(n - i);
                    }
                }
                break;  // longer ones end at the same place for the same cost
            }
        }
        if (progress && i % kProgressStep == 0) {
            progress(kSearchShare + (1 - kSearchShare) * static_cast<double>(i) / n);
        }
    }

    const uint32_t* last = row(n);
    uint32_t state = 0;
    for (uint32_t k = 0; k < kStates; ++k) {
        reachedBy[size_t{n} * kStates + k] = static_cast<uint8_t>(last[k] & kItemMask);
        if (last[k] < last[state]) state = k;
    }
    std::vector<uint8_t> chosen(n, kNoItem);
    for (uint32_t j = n; j > 0;) {
        uint32_t item = reachedBy[size_t{j} * kStates + state];
        bool literal = item == kLiteralItem;
        uint32_t covered = literal ? 1 : LengthTable[item];
        if (j == n && !literal && covered > endCovered[state]) covered = endCovered[state];
        j -= covered;
        chosen[j] = static_cast<uint8_t>(item);
        state = (state + kStates - 1) % kStates;
    }
    return chosen;
}

}  // namespace

Bytes Pack(const uint8_t* data, size_t size, const Progress& progress) {
    if (size > kMaxUnpackedSize) {
        throw Failure("input is " + std::to_string(size) + " bytes; a container holds at most " +
                      std::to_string(kMaxUnpackedSize));
    }
    const uint32_t n = static_cast<uint32_t>(size);
    std::vector<LongestMatch> matches = FindLongestMatches(
        data, size, [&](double f) { if (progress) progress(f * kSearchShare); });

    std::vector<uint8_t> chosen = ParseOptimally(matches, n, progress);

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
    for (uint32_t i = 0; i < n; ++i) {
        uint8_t item = chosen[i];
        if (item == kNoItem) continue;
        if (item == kLiteralItem) {
            startItem(false);
            out.push_back(data[i]);
        } else {
            const LongestMatch& m = matches[i];
            startItem(true);
            out.push_back(static_cast<uint8_t>((m.distanceCode & 0x0F) << 4 | item));
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
