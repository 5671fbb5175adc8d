// Byte-by-byte LZ decoder over a 16 KiB history ring, reading and writing in
// 16 KiB pieces.
#include "payload/PayloadDecoder.h"

#include <stdio.h>
#include <string.h>

#include "resources/Texts.h"

const uint8_t LengthTable[kLengthCount] = {3,  4,  5,  6,  7,  8,  9,  10,
                                           11, 12, 14, 16, 24, 32, 64, 128};

namespace {

constexpr uint32_t kHalfSize = 16384;  // one refill, one output block
constexpr uint32_t kInBufSize = 2 * kHalfSize;
constexpr uint32_t kOutBufSize = 2 * kHalfSize;
// Distances stop at 4095, yet distance 0 reaches a whole ring back.
constexpr uint32_t kRingSize = 16384;
constexpr uint32_t kRingMask = kRingSize - 1;
static_assert((kRingSize & kRingMask) == 0, "ring indexes are masked");
// A group reads a flag and at most eight two-byte matches and emits at most
// eight 128-byte matches: the upper halves of InBuf and OutBuf absorb one
// group that starts anywhere in the lower half.
constexpr uint32_t kMaxGroupInput = 1 + 2 * kGroupItems;
constexpr uint32_t kMaxGroupOutput = 128 * kGroupItems;
static_assert(kMaxGroupInput <= kInBufSize - kHalfSize, "InBuf holds a group");
static_assert(kMaxGroupOutput <= kOutBufSize - kHalfSize, "OutBuf holds a group");

// The decoder's module-level state, kept between decodes; every decode resets
// what it depends on.
struct DecoderState {
    ByteSource* resource = nullptr;
    ByteSink* output = nullptr;
    DecodeTrace* trace = nullptr;
    const char* resourceName = "";
    uint8_t InBuf[kInBufSize];
    uint8_t OutBuf[kOutBufSize];
    uint8_t HistoryRing[kRingSize];
    uint32_t inPos = 0;
    uint32_t outPos = 0;
    uint32_t unpackedSize = 0;
    uint32_t produced = 0;
    // Container offset of InBuf[0], and how many container bytes the resource
    // has delivered: coded bytes past that are not the container's.
    uint32_t inBase = 0;
    uint32_t delivered = 0;
};

DecoderState state;

// Reads until count bytes arrived or the resource is used up, so that a
// source delivering short pieces still fills InBuf as one read would.
uint32_t ReadUpTo(uint8_t* dst, uint32_t count) {
    uint32_t total = 0;
    while (total < count) {
        uint32_t got = state.resource->Read(dst + total, count - total);
        if (got == 0) break;
        total += got < count - total ? got : count - total;
    }
    return total;
}

uint32_t ReadLe24(const uint8_t* p) {
    return p[0] | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16;
}

void StartDecode() {
    state.delivered = ReadUpTo(state.InBuf, kInBufSize);
    state.inBase = 0;
    state.unpackedSize = ReadLe24(state.InBuf + 2);
    state.outPos = 0;
    state.produced = 0;
}

// Cursor of one decode, held in locals: stores into byte arrays may alias
// anything, so fields of state would be reloaded after every byte.
struct Cursor {
    const uint8_t* in;
    uint8_t* out;
    uint8_t* ring;
    uint32_t inPos;
    uint32_t outPos;
    uint32_t ringPos;
    uint32_t produced;
};

// Decodes one group. Checked groups run only near the end of what the
// resource delivered: an item begun while output is still owed must lie
// wholly within inLimit; items past unpackedSize are dropped, so whatever
// InBuf holds there will do. Returns false on a missing coded byte.
template <bool kChecked>
inline bool DecodeGroup(Cursor& c, uint32_t inLimit, uint32_t unpackedSize) {
    uint32_t flags = c.in[c.inPos++];
    for (uint32_t item = 0; item < kGroupItems; ++item, flags <<= 1) {
        if (flags & 0x80) {
            if (kChecked && c.produced < unpackedSize && c.inPos + 2 > inLimit) return false;
            uint32_t b1 = c.in[c.inPos];
            uint32_t b2 = c.in[c.inPos + 1];
            c.inPos += 2;
            uint32_t length = LengthTable[b1 & 0x0F];
            uint32_t distance = (b1 >> 4) + 16 * b2;
            uint32_t src = (c.ringPos - distance) & kRingMask;
            uint32_t ringPos = c.ringPos;
            uint8_t* out = c.out + c.outPos;
            // One byte at a time, read before store: a match longer than its
            // distance repeats the bytes it has just written.
            for (uint32_t k = 0; k < length; ++k) {
                uint8_t b = c.ring[src];
                out[k] = b;
                c.ring[ringPos] = b;
                src = (src + 1) & kRingMask;
                ringPos = (ringPos + 1) & kRingMask;
            }
            c.ringPos = ringPos;
            c.outPos += length;
            c.produced += length;
        } else {
            if (kChecked && c.produced < unpackedSize && c.inPos + 1 > inLimit) return false;
            uint8_t b = c.in[c.inPos++];
            c.out[c.outPos++] = b;
            c.ring[c.ringPos] = b;
            c.ringPos = (c.ringPos + 1) & kRingMask;
            c.produced += 1;
        }
    }
    return true;
}

// Brings the module-level state up to the cursor.
void KeepCursor(const Cursor& c) {
    state.inPos = c.inPos;
    state.outPos = c.outPos;
    state.produced = c.produced;
}

Error Damaged() {
    return Error::Make(texts::kResourceDamaged, state.resourceName);
}

Error DecodePayload() {
    // The header must be there and promise no more than the resource holds:
    // a truncated container fails before anything is written.
    uint32_t packedSize = ReadLe24(state.InBuf + 5);
    uint32_t resourceSize = state.resource->Size();
    if (state.delivered < kContainerHeaderSize || resourceSize < kContainerHeaderSize ||
        packedSize > resourceSize - kContainerHeaderSize) {
        return Damaged();
    }

    memset(state.HistoryRing, 0, sizeof state.HistoryRing);
    Cursor c{state.InBuf, state.OutBuf, state.HistoryRing, kContainerHeaderSize, 0, 0, 0};
    const uint32_t unpackedSize = state.unpackedSize;
    uint32_t written = 0;
    uint32_t groups = 0;
    do {
        uint32_t inLimit =
            state.delivered > state.inBase ? state.delivered - state.inBase : 0;
        if (c.inPos + kMaxGroupInput <= inLimit) {
            DecodeGroup<false>(c, inLimit, unpackedSize);
        } else if (!DecodeGroup<true>(c, inLimit, unpackedSize)) {
            KeepCursor(c);
            return Damaged();
        }

        if (c.inPos >= kHalfSize) {
            c.inPos -= kHalfSize;
            memcpy(state.InBuf, state.InBuf + kHalfSize, kHalfSize);
            state.inBase += kHalfSize;
            state.delivered += ReadUpTo(state.InBuf + kHalfSize, kHalfSize);
        }
        if (c.outPos >= kHalfSize) {
            c.outPos -= kHalfSize;
            if (written < unpackedSize) {
                uint32_t count = unpackedSize - written < kHalfSize ? unpackedSize - written
                                                                    : kHalfSize;
                KeepCursor(c);
                if (Error e = state.output->Append(state.OutBuf, count)) return e;
                written += count;
            }
            // Only the bytes past the block are decoded ones; the rest of the
            // overflow area is never read before being written again.
            memcpy(state.OutBuf, state.OutBuf + kHalfSize, c.outPos);
        }
        if (++groups % kGroupsPerTraceStep == 0 && state.trace) state.trace->Step();
    } while (c.produced < unpackedSize);

    KeepCursor(c);
    if (written < unpackedSize) {
        if (Error e = state.output->Append(state.OutBuf, unpackedSize - written)) return e;
    }
    return {};
}

class Dots : public DecodeTrace {
public:
    void Step() override { fputc('.', stderr); }
};

Dots dots;

}  // namespace

DecodeTrace& StderrDots() { return dots; }

Error DecodeResource(ByteSource& resource, ByteSink& output, const char* resourceName, DecodeTrace* trace) {
    state.resource = &resource;
    state.output = &output;
    state.trace = trace;
    state.resourceName = resourceName ? resourceName : "";
    StartDecode();
    Error e = DecodePayload();
    state.resource = nullptr;
    state.output = nullptr;
    state.trace = nullptr;
    return e;
}
