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

// A damaged payload names EXE; a checksum resource that cannot be compared
// with names EXECRC: checking nothing would let a damaged payload through.
TEST(CheckDecoded, DamagedPayloadOrChecksumIsRefusedNamingTheDamagedResource) {
    const std::string game = "MZ" + AllByteValues() + "kestravon";
    const std::string right = LittleEndian(Crc(game));
    std::string flipped = game;
    flipped[100] ^= 0x01;
    std::string bigEndian(right.rbegin(), right.rend());
    const char* kExe = names::kPayloadResource;
    const char* kCrc = names::kChecksumResource;
    const struct {
        const char* name;
        std::string decoded;
        ResourceState state;
        std::string stored;
        const char* damaged;  // the resource named, or null: accepted
    } cases[] = {
        {"no checksum resource: as before checksums", game, ResourceState::kAbsent, "", nullptr},
        {"no checksum resource, damaged: as before checksums", flipped, ResourceState::kAbsent, "", nullptr},
        {"matching checksum", game, ResourceState::kLoaded, right, nullptr},
        {"an empty file and its checksum", "", ResourceState::kLoaded, LittleEndian(0), nullptr},
        {"one decoded bit flipped", flipped, ResourceState::kLoaded, right, kExe},
        {"the checksum read big-endian", game, ResourceState::kLoaded, bigEndian, kExe},
        {"an empty file under a non-zero checksum", "", ResourceState::kLoaded, right, kExe},
        {"a checksum resource of 3 bytes", game, ResourceState::kLoaded, right.substr(0, 3), kCrc},
        {"a checksum resource of 5 bytes", game, ResourceState::kLoaded, right + "x", kCrc},
        {"an empty checksum resource", game, ResourceState::kLoaded, "", kCrc},
        {"a checksum resource that cannot be loaded", game, ResourceState::kUnreadable, "", kCrc},
    };
    for (const auto& c : cases) {
        ResourceBytes checksum = {c.state, Bytes(c.stored), static_cast<uint32_t>(c.stored.size())};
        Error e = CheckChecksumResource(checksum, kCrc);
        if (!e) e = CheckDecoded(Bytes(c.decoded), static_cast<uint32_t>(c.decoded.size()), checksum, kExe);
        std::string expected = c.damaged ? Error::Make(texts::kResourceDamaged, c.damaged).Text() : "";
        EXPECT_EQ(e.Text(), expected) << c.name;
    }
}

}  // namespace
