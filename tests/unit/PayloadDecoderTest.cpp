// The decoder on hand-built containers: every item kind, the block and ring
// boundaries, and damaged containers that must fail without output.
#include "payload/PayloadDecoder.h"

#include <gtest/gtest.h>
#include <string.h>

#include <random>
#include <string>
#include <vector>

#include "resources/Texts.h"
#include "tests/support/ByteStreams.h"
#include "tests/support/ReferenceDecoder.h"

namespace {

using Bytes = std::vector<uint8_t>;

// Writes groups item by item; Finish pads the last group with literals.
class ContainerWriter {
public:
    ContainerWriter& Literal(uint8_t b) {
        Flag(false);
        coded_.push_back(b);
        return *this;
    }
    ContainerWriter& Literals(const Bytes& bytes) {
        for (uint8_t b : bytes) Literal(b);
        return *this;
    }
    ContainerWriter& RawMatch(uint8_t b1, uint8_t b2) {
        Flag(true);
        coded_.push_back(b1);
        coded_.push_back(b2);
        return *this;
    }
    ContainerWriter& Match(uint8_t lengthIndex, uint32_t distance) {
        return RawMatch(static_cast<uint8_t>((distance & 0x0F) << 4 | lengthIndex),
                        static_cast<uint8_t>(distance >> 4));
    }
    Bytes Finish(uint32_t unpackedSize, const char* magic = "YP") {
        while (items_ % 8 != 0 || items_ == 0) Literal(0xEE);
        Bytes c = {static_cast<uint8_t>(magic[0]), static_cast<uint8_t>(magic[1])};
        for (int i = 0; i < 3; ++i) c.push_back(static_cast<uint8_t>(unpackedSize >> (8 * i)));
        uint32_t packed = static_cast<uint32_t>(coded_.size());
        for (int i = 0; i < 3; ++i) c.push_back(static_cast<uint8_t>(packed >> (8 * i)));
        c.insert(c.end(), coded_.begin(), coded_.end());
        return c;
    }

private:
    void Flag(bool match) {
        if (items_ % 8 == 0) {
            flagAt_ = coded_.size();
            coded_.push_back(0);
        }
        if (match) coded_[flagAt_] |= static_cast<uint8_t>(0x80 >> (items_ % 8));
        ++items_;
    }
    Bytes coded_;
    size_t flagAt_ = 0;
    uint32_t items_ = 0;
};

struct Decoded {
    std::string error;
    Bytes bytes;
    std::vector<uint32_t> appends;
};

Decoded Decode(const Bytes& container, uint32_t piece = 0xFFFFFFFF) {
    support::PieceSource source(container, piece);
    support::RecordingSink sink;
    Error e = DecodeResource(source, sink, "EXE");
    return {e.Text(), sink.bytes, sink.appends};
}

Bytes RandomBytes(size_t n, uint32_t seed) {
    std::mt19937 rng(seed);
    Bytes b(n);
    for (auto& x : b) x = static_cast<uint8_t>(rng());
    return b;
}

Bytes Concat(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

const std::string kDamaged = Error::Make(texts::kResourceDamaged, "EXE").Text();

TEST(PayloadDecoder, DecodesEachItemKindAsTheFormatSays) {
    Bytes prefix4095 = RandomBytes(4095, 7);
    struct Case {
        const char* name;
        Bytes container;
        Bytes expected;
    } cases[] = {
        {"flag 0x00: eight literals",
         ContainerWriter().Literals({'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H'}).Finish(8),
         {'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H'}},
        {"flag 0xFF: eight matches before the start copy zeros",
         [] {
             ContainerWriter w;
             for (int i = 0; i < 8; ++i) w.Match(0, 0);
             return w.Finish(24);
         }(),
         Bytes(24, 0)},
        {"distance 1 length 128 repeats one byte",
         ContainerWriter().Literal('x').Match(15, 1).Finish(129), Bytes(129, 'x')},
        {"a match longer than its distance repeats a pattern",
         ContainerWriter().Literals({'a', 'b', 'c'}).Match(4, 3).Finish(10),
         {'a', 'b', 'c', 'a', 'b', 'c', 'a', 'b', 'c', 'a'}},
        {"reaching back before the start copies zeros",
         ContainerWriter().Literals({'a', 'b'}).Match(1, 3).Finish(6), {'a', 'b', 0, 'a', 'b', 0}},
        {"distance 0 early copies zeros", ContainerWriter().Literal('q').Match(2, 0).Finish(6),
         {'q', 0, 0, 0, 0, 0}},
        {"greatest distance: B1 high nibble 0xF, B2 0xFF",
         ContainerWriter().Literals(prefix4095).RawMatch(0xF3, 0xFF).Finish(4095 + 6),
         Concat(prefix4095, Bytes(prefix4095.begin(), prefix4095.begin() + 6))},
        {"every table length",
         [] {
             ContainerWriter w;
             w.Literal(1);
             for (uint8_t i = 0; i < 16; ++i) w.Match(i, 1);
             return w.Finish(1 + 3 + 4 + 5 + 6 + 7 + 8 + 9 + 10 + 11 + 12 + 14 + 16 + 24 + 32 + 64 + 128);
         }(),
         Bytes(1 + 3 + 4 + 5 + 6 + 7 + 8 + 9 + 10 + 11 + 12 + 14 + 16 + 24 + 32 + 64 + 128, 1)},
    };
    for (const Case& c : cases) {
        Decoded d = Decode(c.container);
        EXPECT_EQ(d.error, "") << c.name;
        EXPECT_EQ(d.bytes, c.expected) << c.name;
        Bytes renamed = c.container;
        renamed[0] = 'M';
        renamed[1] = 'Z';
        EXPECT_EQ(Decode(renamed).bytes, c.expected) << c.name << ", magic not YP";
    }
}

// Well-formed: whole groups of random items, the last one needed.
Bytes RandomContainer(uint32_t groups, uint32_t seed, int surplus) {
    std::mt19937 rng(seed);
    ContainerWriter w;
    uint32_t emitted = 0, beforeLast = 0;
    for (uint32_t g = 0; g < groups; ++g) {
        beforeLast = emitted;
        uint32_t matchShare = rng() % 9;  // runs of literals as well as of matches
        for (int item = 0; item < 8; ++item) {
            if (rng() % 8 < matchShare) {
                uint8_t b1 = static_cast<uint8_t>(rng()), b2 = static_cast<uint8_t>(rng());
                if (rng() % 4 == 0) b2 = 0;  // short distances: overlapping copies
                w.RawMatch(b1, b2);
                emitted += LengthTable[b1 & 0x0F];
            } else {
                w.Literal(static_cast<uint8_t>(rng() % 4 == 0 ? 0 : rng()));
                emitted += 1;
            }
        }
    }
    uint32_t lastGroup = emitted - beforeLast;
    uint32_t unpackedSize = surplus < 0 ? beforeLast + 1 + rng() % lastGroup
                                        : emitted - std::min<uint32_t>(surplus, lastGroup - 1);
    return w.Finish(unpackedSize);
}

TEST(PayloadDecoder, AgreesWithTheReferenceDecoderOnWellFormedContainers) {
    std::vector<std::pair<std::string, Bytes>> cases;
    auto add = [&](const std::string& name, Bytes c) { cases.emplace_back(name, std::move(c)); };
    add("unpackedSize 0", ContainerWriter().Literals({1, 2, 3}).Finish(0));
    add("header and nothing else", Bytes{'Y', 'P', 0, 0, 0, 0, 0, 0});
    add("magic not YP", ContainerWriter().Literal('m').Match(15, 1).Finish(100, "MZ"));
    add("distance 4095", ContainerWriter().Literals(RandomBytes(4100, 1)).RawMatch(0xFF, 0xFF).Finish(4228));
    for (uint32_t blocks : {1u, 2u, 3u}) {
        Bytes data = RandomBytes(16384 * blocks, blocks);
        add("multiple of 16384: " + std::to_string(blocks), ContainerWriter().Literals(data).Finish(16384 * blocks));
        // Eight 128-byte matches finish the block and run past unpackedSize.
        ContainerWriter w;
        w.Literals(Bytes(data.begin(), data.end() - 1000));
        for (int i = 0; i < 8; ++i) w.Match(15, 0);
        add("surplus completes block " + std::to_string(blocks), w.Finish(16384 * blocks - 100));
    }
    {
        ContainerWriter w;
        w.Literal(9).Match(7, 0);  // zeros: within the first ring
        w.Literals(RandomBytes(16384 + 20, 2)).Match(15, 0).Match(3, 0);  // a whole ring back
        add("distance 0 before and after 16384", w.Finish(1 + 10 + 16384 + 20 + 128 + 6));
    }
    for (uint32_t seed = 1; seed <= 24; ++seed) {
        uint32_t groups = seed % 4 == 0 ? 1 + seed % 3 : 200 + seed * 300;
        add("random " + std::to_string(seed), RandomContainer(groups, seed, seed % 3 == 0 ? -1 : static_cast<int>(seed % 5)));
    }
    for (auto& [name, container] : cases) {
        ASSERT_LT(container.size(), 1u << 24) << name;
        Bytes expected;
        ASSERT_TRUE(reference::Decode(container, expected)) << name;
        std::vector<uint32_t> appends = reference::BlockAppends(expected.size());
        for (uint32_t piece : {0xFFFFFFFFu, 1000u}) {
            Decoded d = Decode(container, piece);
            EXPECT_EQ(d.error, "") << name;
            EXPECT_TRUE(d.bytes == expected) << name << ", " << d.bytes.size() << " bytes";
            EXPECT_EQ(d.appends, appends) << name;
        }
        // Padding after the container, as a resource aligned by its linker
        // may carry, changes nothing.
        Bytes padded = Concat(container, Bytes(3, 0));
        EXPECT_TRUE(Decode(padded).bytes == expected) << name << ", padded";
    }
}

TEST(PayloadDecoder, DistanceZeroReachesAWholeRingBack) {
    Bytes first = RandomBytes(16384 + 5, 11);
    Bytes container = ContainerWriter().Literals(first).Match(7, 0).Finish(16384 + 5 + 10);
    Bytes expected = Concat(first, Bytes(first.begin() + 5, first.begin() + 15));
    EXPECT_EQ(Decode(container).bytes, expected);
}

TEST(PayloadDecoder, WritesFullBlocksThenOneShorterTail) {
    struct Case {
        uint32_t literals;
        uint32_t unpackedSize;
        std::vector<uint32_t> appends;
    } cases[] = {
        {32768, 32768, {16384, 16384}},       // a multiple of the block: no tail
        {16384 + 8, 16384 + 3, {16384, 3}},   // the last group runs past the end
        {16384 + 8, 16380, {16380}},          // surplus completes the block
        {16384 * 2 + 8, 16384 * 2, {16384, 16384}},
        {8, 0, {}},                           // one group decoded, nothing written
        {40, 1, {1}},                         // groups past the end of output still decode
    };
    for (const Case& c : cases) {
        Bytes data = RandomBytes(c.literals, c.unpackedSize);
        Decoded d = Decode(ContainerWriter().Literals(data).Finish(c.unpackedSize));
        EXPECT_EQ(d.error, "") << c.unpackedSize;
        EXPECT_EQ(d.appends, c.appends) << c.unpackedSize;
        EXPECT_EQ(d.bytes, Bytes(data.begin(), data.begin() + c.unpackedSize)) << c.unpackedSize;
    }
}

TEST(PayloadDecoder, ShortReadsAndEarlierDecodesChangeNothing) {
    // Long enough for many refills; then a short one over the stale buffers.
    Bytes big = RandomBytes(100000, 3);
    ContainerWriter w;
    for (size_t i = 0; i < big.size(); ++i) {
        if (i % 50 == 10) {
            w.Match(i % 16, 1 + i % 4095);  // checked below against the first decode
            i += 2;
        }
        w.Literal(big[i]);
    }
    Bytes bigContainer = w.Finish(99000);
    Decoded whole = Decode(bigContainer);
    ASSERT_EQ(whole.error, "");
    ASSERT_EQ(whole.bytes.size(), 99000u);
    for (uint32_t piece : {1u, 999u, 16383u}) {
        EXPECT_EQ(Decode(bigContainer, piece).bytes, whole.bytes) << piece;
    }
    Bytes small = ContainerWriter().Literals({'o', 'k'}).Match(0, 2).Finish(5);
    EXPECT_EQ(Decode(small).bytes, Bytes({'o', 'k', 'o', 'k', 'o'}));
    EXPECT_EQ(Decode(bigContainer).bytes, whole.bytes);
}

class CountingTrace : public DecodeTrace {
public:
    void Step() override { ++steps; }
    int steps = 0;
};

TEST(PayloadDecoder, TracesOneStepPer256GroupsAndIsSilentWithout) {
    struct Case {
        uint32_t groups;
        int steps;
    } cases[] = {{1, 0}, {255, 0}, {256, 1}, {257, 1}, {256 * 3 - 1, 2}, {256 * 3 + 10, 3}};
    for (const Case& c : cases) {
        Bytes container = ContainerWriter().Literals(Bytes(8 * c.groups, 'z')).Finish(8 * c.groups);
        support::PieceSource source(container);
        support::RecordingSink sink;
        CountingTrace trace;
        testing::internal::CaptureStderr();
        EXPECT_FALSE(DecodeResource(source, sink, "EXE", &trace)) << c.groups;
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "") << c.groups;
        EXPECT_EQ(trace.steps, c.steps) << c.groups;
    }
    // The updater's trace: a dot per step on standard error.
    Bytes container = ContainerWriter().Literals(Bytes(8 * 600, 'z')).Finish(8 * 600);
    support::PieceSource source(container);
    support::RecordingSink sink;
    testing::internal::CaptureStderr();
    EXPECT_FALSE(DecodeResource(source, sink, "EXE", &StderrDots()));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "..");
}

TEST(PayloadDecoder, TruncatedContainerFailsBeforeWritingAnything) {
    Bytes data = RandomBytes(40000, 5);
    Bytes container = ContainerWriter().Literals(data).Finish(40000);
    for (size_t cut = 0; cut < container.size(); cut += (cut < 64 ? 1 : 997)) {
        Decoded d = Decode(Bytes(container.begin(), container.begin() + cut));
        EXPECT_EQ(d.error, kDamaged) << cut;
        EXPECT_TRUE(d.appends.empty()) << cut;
    }
}

TEST(PayloadDecoder, HeaderFittedToATruncationStillFails) {
    Bytes data = RandomBytes(40000, 6);
    Bytes container = ContainerWriter().Literals(data).Finish(40000);
    for (size_t cut = 8; cut < container.size(); cut += (cut < 64 ? 1 : 1009)) {
        Bytes c(container.begin(), container.begin() + cut);
        uint32_t packed = static_cast<uint32_t>(cut - 8);
        c[5] = packed & 0xFF;
        c[6] = (packed >> 8) & 0xFF;
        c[7] = static_cast<uint8_t>(packed >> 16);
        Decoded d = Decode(c);
        EXPECT_EQ(d.error, kDamaged) << cut;
        // What got out before the fault showed is right, and nothing after it.
        EXPECT_LT(d.bytes.size(), data.size()) << cut;
        EXPECT_EQ(d.bytes, Bytes(data.begin(), data.begin() + d.bytes.size())) << cut;
    }
}

TEST(PayloadDecoder, MissingBytesOfDroppedItemsAreNoFault) {
    // Three needed literals, then padding whose bytes the decoder drops.
    Bytes full = ContainerWriter().Literals({'a', 'b', 'c'}).Finish(3);
    for (size_t cut = 8 + 4; cut <= full.size(); ++cut) {
        Bytes c(full.begin(), full.begin() + cut);
        c[5] = static_cast<uint8_t>(cut - 8);
        Decoded d = Decode(c);
        EXPECT_EQ(d.error, "") << cut;
        EXPECT_EQ(d.bytes, Bytes({'a', 'b', 'c'})) << cut;
    }
    Bytes emptyFile = {'Y', 'P', 0, 0, 0, 0, 0, 0};
    Decoded d = Decode(emptyFile);
    EXPECT_EQ(d.error, "");
    EXPECT_TRUE(d.appends.empty());
    // The same three literals missing their last byte are a fault.
    Bytes c(full.begin(), full.begin() + 8 + 3);
    c[5] = 3;
    EXPECT_EQ(Decode(c).error, kDamaged);
}

TEST(PayloadDecoder, SinkErrorPassesThroughAndStopsTheDecode) {
    Bytes data = RandomBytes(16384 * 3 + 100, 9);
    Bytes container = ContainerWriter().Literals(data).Finish(static_cast<uint32_t>(data.size()));
    for (int failAt = 0; failAt < 4; ++failAt) {
        support::PieceSource source(container);
        support::RecordingSink sink;
        sink.failAt = failAt;
        Error e = DecodeResource(source, sink, "EXE");
        EXPECT_STREQ(e.Text(), "sink full here") << failAt;
        EXPECT_EQ(sink.appends.size(), static_cast<size_t>(failAt + 1)) << failAt;
    }
}

}  // namespace
