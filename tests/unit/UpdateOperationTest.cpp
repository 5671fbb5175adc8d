// The update operation's order on fakes: a payload that does not decode or
// check never reaches the disk, and no failing step costs the old file.
#include "payload/UpdateOperation.h"

#include <gtest/gtest.h>

#include <string>

#include "fakes/FakeFileSystem.h"
#include "payload/Checksum.h"
#include "resources/Names.h"
#include "resources/Texts.h"
#include "tools/yppack/Packer.h"

namespace {

const char kTarget[] = "D:\\Game\\kestravon.exe";
const char kOld[] = "MZ old build";

std::string NewBuild() {
    std::string game = "MZ new build ";
    for (int i = 0; i < 3000; ++i) game += static_cast<char>(i * 7 % 251);
    return game;
}

std::string Packed(const std::string& game) {
    yppack::Bytes container = yppack::Pack(reinterpret_cast<const uint8_t*>(game.data()), game.size());
    return std::string(container.begin(), container.end());
}

std::string ChecksumOf(const std::string& game) {
    uint32_t crc = Crc32(reinterpret_cast<const uint8_t*>(game.data()), static_cast<uint32_t>(game.size()));
    std::string stored;
    for (int i = 0; i < 4; ++i) stored.push_back(static_cast<char>(crc >> (8 * i)));
    return stored;
}

ResourceBytes Loaded(const std::string& bytes) {
    return {ResourceState::kLoaded, reinterpret_cast<const uint8_t*>(bytes.data()),
            static_cast<uint32_t>(bytes.size())};
}

FakeFileSystem Installed() {
    FakeFileSystem fs;
    fs.Put(kTarget, kOld);
    fs.Put("D:\\Game\\MG_DATA.MBL", "data");
    return fs;
}

Error Update(FakeFileSystem& fs, const std::string& container, const ResourceBytes& checksum) {
    return UpdateFile(fs, kTarget, Loaded(container), names::kPayloadResource, checksum);
}

TEST(UpdateOperation, GoodPayloadReplacesTheFileWithOrWithoutAChecksum) {
    const std::string game = NewBuild();
    const std::string checksum = ChecksumOf(game);
    for (bool checked : {true, false}) {
        FakeFileSystem fs = Installed();
        EXPECT_FALSE(Update(fs, Packed(game), checked ? Loaded(checksum) : ResourceBytes{})) << checked;
        EXPECT_EQ(fs.Read(kTarget), game) << checked;
        EXPECT_EQ(fs.FileCount(), 2u) << checked;
    }
    FakeFileSystem fs = Installed();
    EXPECT_FALSE(Update(fs, Packed(""), Loaded(ChecksumOf(""))));
    EXPECT_EQ(fs.Read(kTarget), "");
}

TEST(UpdateOperation, DamagedPayloadNeverReachesTheDisk) {
    const std::string game = NewBuild();
    const std::string container = Packed(game);
    std::string flipped = container;
    flipped[container.size() / 2] ^= 0x01;  // decodes, to the wrong bytes
    std::string otherGame = game;
    otherGame[7] ^= 0x20;
    // Named: the cases point into them.
    const std::string good = ChecksumOf(game);
    const std::string other = ChecksumOf(otherGame);
    const std::string shortOne = good.substr(0, 3);
    const std::string cut = container.substr(0, container.size() / 2);
    const std::string headerOnly = container.substr(0, 8);
    const ResourceBytes unreadable = {ResourceState::kUnreadable, nullptr, 0};
    const char* kExe = names::kPayloadResource;
    const char* kCrc = names::kChecksumResource;
    const struct {
        const char* what;
        ResourceBytes container;
        ResourceBytes checksum;
        const char* damaged;
    } cases[] = {
        {"cut short", Loaded(cut), Loaded(good), kExe},
        {"cut short, no checksum to tell", Loaded(cut), ResourceBytes{}, kExe},
        {"header only", Loaded(headerOnly), Loaded(good), kExe},
        {"one coded byte flipped", Loaded(flipped), Loaded(good), kExe},
        {"the checksum of another build", Loaded(container), Loaded(other), kExe},
        {"a container resource that cannot be loaded", unreadable, Loaded(good), kExe},
        {"a checksum resource that cannot be loaded", Loaded(container), unreadable, kCrc},
        {"a checksum resource of 3 bytes", Loaded(container), Loaded(shortOne), kCrc},
        // The checksum resource is judged first, whatever the container holds.
        {"cut short, with a checksum resource of 3 bytes", Loaded(cut), Loaded(shortOne), kCrc},
    };
    for (const auto& c : cases) {
        FakeFileSystem fs = Installed();
        Error e = UpdateFile(fs, kTarget, c.container, kExe, c.checksum);
        EXPECT_EQ(e.Text(), std::string(Error::Make(texts::kResourceDamaged, c.damaged).Text())) << c.what;
        EXPECT_EQ(fs.Calls(), 0) << c.what;
        EXPECT_EQ(fs.Read(kTarget), kOld) << c.what;
        EXPECT_EQ(fs.FileCount(), 2u) << c.what;
    }
}

TEST(UpdateOperation, FailingAtAnyCallOfTheFileSystemKeepsTheOldFile) {
    const std::string game = NewBuild();
    const std::string container = Packed(game);
    const std::string checksum = ChecksumOf(game);
    FakeFileSystem probe = Installed();
    ASSERT_FALSE(Update(probe, container, Loaded(checksum)));
    ASSERT_GT(probe.Calls(), 5);
    for (int call = 0; call < probe.Calls(); ++call) {
        FakeFileSystem fs = Installed();
        fs.FailAtCall(call);
        Error e = Update(fs, container, Loaded(checksum));
        // Only clearing stale side files may fail without harm.
        EXPECT_EQ(fs.Read(kTarget), e ? kOld : game) << call << " " << probe.CallNames()[call];
        EXPECT_EQ(fs.FileCount(), 2u) << call;
        EXPECT_FALSE(fs.FileOpen()) << call;
    }
}

}  // namespace
