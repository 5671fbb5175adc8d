// The payload's checksum: zlib's CRC-32, and the guard that keeps a damaged
// payload off the disk.
#include "payload/Checksum.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "resources/Names.h"
#include "resources/Texts.h"

namespace {

const uint8_t* Bytes(const std::string& s) {
    return reinterpret_cast<const uint8_t*>(s.data());
}

uint32_t Crc(const std::string& s) {
    return Crc32(Bytes(s), static_cast<uint32_t>(s.size()));
}

std::string LittleEndian(uint32_t v) {
    std::string s;
    for (int i = 0; i < 4; ++i) s.push_back(static_cast<char>(v >> (8 * i)));
    return s;
}

std::string AllByteValues() {
    std::string s;
    for (int i = 0; i < 256; ++i) s.push_back(static_cast<char>(i));
    return s;
}

TEST(Crc32, MatchesZlibOnKnownVectors) {
    const struct {
        std::string data;
        uint32_t crc;
    } vectors[] = {
        {"", 0x00000000},
        {"a", 0xE8B7BE43},
        {"123456789", 0xCBF43926},
        {"The quick brown fox jumps over the lazy dog", 0x414FA339},
        {AllByteValues(), 0x29058C73},
        {std::string(1000000, 'a'), 0xDC25BFBC},
    };
    for (const auto& v : vectors) EXPECT_EQ(Crc(v.data), v.crc) << v.data.substr(0, 20);
}

TEST(Crc32, ContinuedRunEqualsOneRun) {
    std::string data = "The quick brown fox jumps over the lazy dog";
    for (size_t cut = 0; cut <= data.size(); ++cut) {
        uint32_t first = Crc32(Bytes(data), static_cast<uint32_t>(cut));
        uint32_t both = Crc32(Bytes(data) + cut, static_cast<uint32_t>(data.size() - cut), first);
        EXPECT_EQ(both, 0x414FA339u) << cut;
    }
}

TEST(CheckDecoded, DamagedPayloadOrChecksumIsRefusedWithTheDamagedMessage) {
    const std::string game = "MZ" + AllByteValues() + "kestravon";
    const std::string right = LittleEndian(Crc(game));
    std::string flipped = game;
    flipped[100] ^= 0x01;
    std::string bigEndian(right.rbegin(), right.rend());
    const std::string damaged = Error::Make(texts::kResourceDamaged, names::kPayloadResource).Text();
    const struct {
        const char* name;
        std::string decoded;
        const char* checksum;  // null: no checksum resource
        std::string stored;
        bool accepted;
    } cases[] = {
        {"no checksum resource: as before checksums", game, nullptr, "", true},
        {"no checksum resource, damaged: as before checksums", flipped, nullptr, "", true},
        {"matching checksum", game, "", right, true},
        {"an empty file and its checksum", "", "", LittleEndian(0), true},
        {"one decoded bit flipped", flipped, "", right, false},
        {"the checksum read big-endian", game, "", bigEndian, false},
        {"a checksum resource of 3 bytes", game, "", right.substr(0, 3), false},
        {"a checksum resource of 5 bytes", game, "", right + "x", false},
        {"an empty checksum resource", game, "", "", false},
        {"an empty file under a non-zero checksum", "", "", right, false},
    };
    for (const auto& c : cases) {
        Error e = CheckDecoded(Bytes(c.decoded), static_cast<uint32_t>(c.decoded.size()),
                               c.checksum ? Bytes(c.stored) : nullptr,
                               static_cast<uint32_t>(c.stored.size()), names::kPayloadResource);
        EXPECT_EQ(static_cast<bool>(e), !c.accepted) << c.name;
        EXPECT_STREQ(e.Text(), c.accepted ? "" : damaged.c_str()) << c.name;
    }
}

}  // namespace
