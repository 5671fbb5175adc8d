// yppack bundle: the stub's resources rewritten with the packed game, its CRC
// and its icon, the loader's header fields to match, and the refusals.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>

#include "tests/unit/YppackCli.h"
#include "payload/Checksum.h"
#include "tools/yppack/Bundle.h"
#include "tools/yppack/FileIo.h"
#include "tools/yppack/PeResources.h"

namespace {

using namespace yppack;

Bytes Fixture(const std::string& name) { return ReadWholeFile(std::string(UNIT_TEST_DATA_DIR) + "/" + name, 1u << 20); }

uint32_t Le32(const Bytes& b, size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}
void PutLe32(Bytes& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

Bytes RandomBytes(size_t n, uint32_t seed) {
    std::mt19937 rng(seed);
    Bytes b(n);
    for (auto& x : b) x = static_cast<uint8_t>(rng() % 7);
    return b;
}

std::vector<Resource> ResourcesOf(const Bytes& file) { return ReadResources(file, ReadPeLayout(file)); }

const Resource* Find(const std::vector<Resource>& resources, uint32_t type, const ResourceKey& name) {
    for (const Resource& r : resources) {
        if (r.type.IsId(type) && SameKey(r.name, name)) return &r;
    }
    return nullptr;
}

std::string Describe(const Resource& r) {
    auto key = [](const ResourceKey& k) {
        return k.isName ? std::string(k.name.begin(), k.name.end()) : std::to_string(k.id);
    };
    return key(r.type) + "/" + key(r.name) + "/" + key(r.language);
}

const char* const kStubs[] = {"stub32.exe", "stub64.exe"};
// What data/make-pe-fixtures.sh puts in the stubs, in the order Windows
// searches: all in language 0x411, names before ids, names without case.
const char* const kStubResources[] = {"3/1/1041",       "3/2/1041",  "6/1/1041",  "10/EXE/1041", "10/EXECRC/1041",
                                      "10/HELLO/1041", "14/1/1041", "16/1/1041", "24/1/1041"};

void ExpectListed(const std::vector<Resource>& resources, const std::string& what) {
    ASSERT_EQ(resources.size(), std::size(kStubResources)) << what;
    for (size_t i = 0; i < resources.size(); ++i) EXPECT_EQ(Describe(resources[i]), kStubResources[i]) << what;
}

TEST(PeResources, ReadsTheTreeTheResourceCompilerWrote) {
    for (const char* name : kStubs) {
        std::vector<Resource> resources = ResourcesOf(Fixture(name));
        ExpectListed(resources, name);
        EXPECT_EQ(Find(resources, kRtRcdata, ResourceKey::Name("hello"))->data,
                  Bytes({'h', 'e', 'l', 'l', 'o', 0x34, 0x12}))
            << name;
    }
}

TEST(PeResources, ChecksumAgreesWithTheLinkers) {
    for (const char* name : {"stub32.exe", "stub64.exe", "game-icon.exe"}) {
        Bytes file = Fixture(name);
        PeLayout layout = ReadPeLayout(file);
        EXPECT_EQ(PeChecksum(file, layout), Le32(file, ChecksumOffset(layout))) << name;
        file.push_back(1);  // an odd length counts its last byte as a word
        EXPECT_EQ(PeChecksum(file, layout), Le32(file, ChecksumOffset(layout)) + 2) << name;
    }
}

TEST(Bundle, CarriesTheGameAndKeepsEverythingElseForPe32AndPe32Plus) {
    Bytes game = RandomBytes(30000, 3);
    for (const char* name : kStubs) {
        Bytes stub = Fixture(name);
        BundleReport report;
        Bytes out = Bundle(stub, game, report);
        EXPECT_EQ(Bundle(stub, game, report), out) << name << ": not deterministic";
        EXPECT_EQ(report.iconImages, 0u) << name;

        std::vector<Resource> before = ResourcesOf(stub);
        std::vector<Resource> after = ResourcesOf(out);
        ExpectListed(after, name);  // the stale EXE and EXECRC are replaced, not kept
        for (const Resource& r : before) {
            if (r.name.IsName("EXE") || r.name.IsName("EXECRC")) continue;
            auto same = std::find_if(after.begin(), after.end(), [&](const Resource& a) {
                return SameKey(a.type, r.type) && SameKey(a.name, r.name) && SameKey(a.language, r.language) &&
                       a.data == r.data && a.codePage == r.codePage;
            });
            EXPECT_NE(same, after.end()) << name << ": " << Describe(r) << " changed";
        }
        const Resource* exe = Find(after, kRtRcdata, ResourceKey::Name("EXE"));
        const Resource* crc = Find(after, kRtRcdata, ResourceKey::Name("EXECRC"));
        ASSERT_TRUE(exe && crc) << name;
        EXPECT_EQ(exe->language.id, 0x411u) << name << ": the language of the EXE it replaces";
        EXPECT_TRUE(Unpack(exe->data) == game) << name;
        ASSERT_EQ(crc->data.size(), 4u) << name;
        EXPECT_EQ(Le32(crc->data, 0), Crc32(game.data(), static_cast<uint32_t>(game.size()))) << name;

        // Headers: only the fields that describe the resource section change.
        PeLayout in = ReadPeLayout(stub);
        PeLayout layout = ReadPeLayout(out);
        const PeSection& rsrc = layout.sections.back();
        const size_t opt = layout.optionalHeader;
        const uint32_t sectionAlignment = Le32(out, opt + 32), fileAlignment = Le32(out, opt + 36);
        const size_t changed[] = {opt + 8, opt + 56, ChecksumOffset(layout), layout.directories + 8 * 2 + 4,
                                  rsrc.headerOffset + 8, rsrc.headerOffset + 16};
        ASSERT_EQ(rsrc.rawOffset, in.sections.back().rawOffset) << name;
        for (size_t i = 0; i < rsrc.rawOffset; i += 4) {
            if (std::find(std::begin(changed), std::end(changed), i) != std::end(changed)) continue;
            ASSERT_EQ(Le32(out, i), Le32(stub, i)) << name << ": header byte " << i;
        }
        EXPECT_EQ(layout.Directory(2).size, rsrc.virtualSize) << name;
        EXPECT_EQ(rsrc.rawSize % fileAlignment, 0u) << name;
        EXPECT_GE(rsrc.rawSize, rsrc.virtualSize) << name;
        EXPECT_EQ(out.size(), rsrc.rawOffset + rsrc.rawSize) << name;
        uint32_t imageSize = (rsrc.virtualAddress + rsrc.virtualSize + sectionAlignment - 1) / sectionAlignment *
                             sectionAlignment;
        EXPECT_EQ(Le32(out, opt + 56), imageSize) << name << ": SizeOfImage";
        EXPECT_EQ(Le32(out, opt + 8), Le32(stub, opt + 8) + rsrc.rawSize - in.sections.back().rawSize)
            << name << ": SizeOfInitializedData";
        EXPECT_EQ(Le32(out, ChecksumOffset(layout)), PeChecksum(out, layout)) << name;
    }
}

// A stub linked for ASLR has .reloc after .rsrc: it must move past the grown
// resources whole, with its header, directory 5 and the image size following.
TEST(Bundle, MovesTheRelocationSectionPastTheNewResources) {
    Bytes game = RandomBytes(30000, 3);
    for (const char* name : {"reloc32.exe", "reloc64.exe"}) {
        Bytes stub = Fixture(name);
        BundleReport report;
        Bytes out = Bundle(stub, game, report);
        EXPECT_EQ(Bundle(stub, game, report), out) << name << ": not deterministic";
        EXPECT_NO_THROW(CheckBundle(out, game)) << name;
        std::vector<Resource> after = ResourcesOf(out);
        ExpectListed(after, name);
        for (const Resource& r : ResourcesOf(stub)) {
            if (r.name.IsName("EXE") || r.name.IsName("EXECRC")) continue;
            EXPECT_EQ(Find(after, r.type.id, r.name)->data, r.data) << name << ": " << Describe(r) << " changed";
        }

        PeLayout in = ReadPeLayout(stub);
        PeLayout layout = ReadPeLayout(out);
        ASSERT_EQ(layout.sections.size(), in.sections.size()) << name;
        const PeSection& rsrc = layout.sections[layout.sections.size() - 2];
        const PeSection& reloc = layout.sections.back();
        const PeSection& oldReloc = in.sections.back();
        const size_t opt = layout.optionalHeader;
        const uint32_t sectionAlignment = Le32(out, opt + 32);
        auto aligned = [&](uint32_t v) { return (v + sectionAlignment - 1) / sectionAlignment * sectionAlignment; };
        const size_t changed[] = {opt + 8, opt + 56, ChecksumOffset(layout), layout.directories + 8 * 2 + 4,
                                  layout.directories + 8 * 5, rsrc.headerOffset + 8, rsrc.headerOffset + 16,
                                  reloc.headerOffset + 12, reloc.headerOffset + 20};
        for (size_t i = 0; i < rsrc.rawOffset; i += 4) {
            if (std::find(std::begin(changed), std::end(changed), i) != std::end(changed)) continue;
            ASSERT_EQ(Le32(out, i), Le32(stub, i)) << name << ": byte " << i << " before the resources";
        }
        EXPECT_EQ(reloc.virtualAddress, aligned(rsrc.virtualAddress + rsrc.virtualSize)) << name;
        EXPECT_GT(reloc.virtualAddress, oldReloc.virtualAddress) << name << ": the fixture must make it move";
        EXPECT_EQ(reloc.rawOffset, rsrc.rawOffset + rsrc.rawSize) << name;
        EXPECT_EQ(out.size(), reloc.rawOffset + reloc.rawSize) << name;
        EXPECT_TRUE(std::equal(out.begin() + reloc.rawOffset, out.end(), stub.begin() + oldReloc.rawOffset,
                               stub.begin() + oldReloc.rawOffset + oldReloc.rawSize))
            << name << ": the relocations changed";
        EXPECT_EQ(layout.Directory(5).rva, in.Directory(5).rva - oldReloc.virtualAddress + reloc.virtualAddress)
            << name;
        EXPECT_EQ(layout.Directory(5).size, in.Directory(5).size) << name;
        EXPECT_EQ(Le32(out, opt + 56), aligned(reloc.virtualAddress + reloc.virtualSize)) << name << ": SizeOfImage";
        EXPECT_EQ(Le32(out, ChecksumOffset(layout)), PeChecksum(out, layout)) << name;
        // A finished updater bundled again with a small game: it moves back.
        Bytes again = Bundle(out, RandomBytes(10, 4), report);
        EXPECT_EQ(ReadPeLayout(again).sections.back().virtualAddress, oldReloc.virtualAddress) << name;
        EXPECT_NO_THROW(CheckBundle(again, RandomBytes(10, 4))) << name;
    }
}

TEST(Bundle, CopiesTheGamesFirstIconUnderIdsTheStubDoesNotUse) {
    Bytes game = Fixture("game-icon.exe");
    std::vector<Resource> gameResources = ResourcesOf(game);
    // The game's first group is MAINICON (names come first), images 1, 2, 3.
    const Resource* gameGroup = Find(gameResources, kRtGroupIcon, ResourceKey::Name("MAINICON"));
    ASSERT_TRUE(gameGroup);
    for (const char* name : kStubs) {
        BundleReport report;
        Bytes out = Bundle(Fixture(name), game, report);
        EXPECT_EQ(report.iconImages, 3u) << name;
        // The stub has images 1, 2 and group 1; a Setup.exe bundled again
        // already has the game's icon too: images 3..5 and group 2.
        Bytes again = Bundle(out, game, report);
        struct Step {
            const Bytes& file;
            uint32_t group;
            uint32_t firstImage;
        } steps[] = {{out, 2, 3}, {again, 3, 6}};
        for (const Step& step : steps) {
            std::vector<Resource> resources = ResourcesOf(step.file);
            const Resource* group = Find(resources, kRtGroupIcon, ResourceKey::Id(step.group));
            ASSERT_TRUE(group) << name << " group " << step.group;
            ASSERT_EQ(group->data.size(), gameGroup->data.size()) << name;
            Bytes expected = gameGroup->data;
            for (uint32_t k = 0; k < 3; ++k) {
                expected[6 + 14 * k + 12] = static_cast<uint8_t>(step.firstImage + k);
                const Resource* image = Find(resources, kRtIcon, ResourceKey::Id(step.firstImage + k));
                ASSERT_TRUE(image) << name << " image " << step.firstImage + k;
                EXPECT_EQ(image->data, Find(gameResources, kRtIcon, ResourceKey::Id(1 + k))->data) << name;
            }
            EXPECT_EQ(group->data, expected) << name;
        }
    }
    // A game without an icon adds none: only the stub's own group stays.
    BundleReport report;
    Bytes out = Bundle(Fixture("stub32.exe"), RandomBytes(100, 1), report);
    std::vector<Resource> resources = ResourcesOf(out);
    EXPECT_EQ(std::count_if(resources.begin(), resources.end(), [](const Resource& r) { return r.type.IsId(kRtGroupIcon); }), 1);
    EXPECT_EQ(report.iconImages, 0u);
}

#ifdef YPPACK_EXE_PATH
TEST_F(YppackCli, BundleWritesWhatTheLibraryMakes) {
    Bytes game = Fixture("game-icon.exe");
    Put(Path("stub"), Fixture("stub64.exe"));
    Put(Path("game"), game);
    ASSERT_EQ(Run("bundle " + Path("stub") + " " + Path("game") + " " + Path("out")), 0) << Stderr();
    BundleReport report;
    EXPECT_TRUE(Get(Path("out")) == Bundle(Fixture("stub64.exe"), game, report));
    EXPECT_EQ(FileCount(), 4u);  // stub, game, out, stderr
}

TEST_F(YppackCli, BundleRefusesWhatItCannotRewriteAndLeavesOutAsItWas) {
    const Bytes stub = Fixture("stub32.exe");
    const PeLayout layout = ReadPeLayout(stub);
    auto changed = [&](size_t at, uint32_t value) {
        Bytes b = stub;
        PutLe32(b, at, value);
        return b;
    };
    Bytes signedStub = changed(layout.directories + 8 * 4, static_cast<uint32_t>(stub.size()));
    PutLe32(signedStub, layout.directories + 8 * 4 + 4, 16);
    signedStub.resize(stub.size() + 16, 0x30);
    // The relocatable stub (.reloc after .rsrc) made into what must not move.
    const Bytes reloc = Fixture("reloc32.exe");
    const PeLayout relocLayout = ReadPeLayout(reloc);
    const uint32_t relocTable = relocLayout.sections.back().rawOffset;
    auto changedReloc = [&](size_t at, uint32_t value) {
        Bytes b = reloc;
        PutLe32(b, at, value);
        return b;
    };
    Bytes tableInReloc = changedReloc(relocLayout.directories + 8 * 6, relocLayout.Directory(5).rva);
    PutLe32(tableInReloc, relocLayout.directories + 8 * 6 + 4, 4);
    Bytes overlay = stub;
    overlay.insert(overlay.end(), {'m', 'o', 'r', 'e'});
    struct Case {
        const char* name;
        Bytes stub;
        const char* says;
    } cases[] = {
        {"not a PE", {'t', 'e', 'x', 't', '\n'}, "not a PE"},
        {"no PE signature", Bytes(stub.begin(), stub.begin() + 0x80), "not a PE"},
        {"optional header cut short", Bytes(stub.begin(), stub.begin() + 0xA0), "cut short"},
        {"section table cut short", Bytes(stub.begin(), stub.begin() + 0x190), "cut short"},
        {"sections cut short", Bytes(stub.begin(), stub.end() - 100), "cut short"},
        {"signed", signedStub, "Authenticode signature"},
        {"overlay", overlay, "data after its last section"},
        {"resources not last", changed(layout.sections[0].headerOffset + 12, 0x100000), "not the last"},
        {"resources not a section's start", changed(layout.directories + 8 * 2, layout.Directory(2).rva + 16),
         "do not start a section"},
        {"a section after the resources that holds no relocations", changedReloc(relocLayout.directories + 8 * 5, 0),
         "not the last"},
        {"another table in the relocation section", tableInReloc, "not the last"},
        {"relocations that patch the resources", changedReloc(relocTable, relocLayout.Directory(2).rva),
         "patch its resource"},
        {"relocation block of no size", changedReloc(relocTable + 4, 0), "relocation table is damaged"},
    };
    Put(Path("game"), RandomBytes(5000, 2));
    Put(Path("big-game"), Bytes(kMaxUnpackedSize + 1, 0));
    Put(Path("out"), {'o', 'l', 'd'});
    auto expectRefused = [&](const std::string& name, const std::string& game, const std::string& says) {
        EXPECT_NE(Run("bundle " + Path("stub") + " " + Path(game) + " " + Path("out")), 0) << name;
        EXPECT_NE(Stderr().find(says), std::string::npos) << name << ": " << Stderr();
        EXPECT_EQ(Get(Path("out")), Bytes({'o', 'l', 'd'})) << name;
        EXPECT_EQ(FileCount(), 5u) << name;  // stub, game, big-game, out, stderr: no temporary file
    };
    for (const Case& c : cases) {
        Put(Path("stub"), c.stub);
        expectRefused(c.name, "game", c.says);
    }
    Put(Path("stub"), stub);
    expectRefused("game too large", "big-game", "16777215");
}

TEST_F(YppackCli, SignedBundleVerifiesAndABadKeyLeavesNoOutput) {
    if (system("command -v osslsigncode >/dev/null && command -v openssl >/dev/null") != 0) {
        GTEST_SKIP() << "osslsigncode or openssl missing";
    }
    const std::string quiet = " >/dev/null 2>&1";
    ASSERT_EQ(system(("openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=Throwaway -keyout " +
                      Path("key.pem") + " -out " + Path("cert.pem") + quiet).c_str()), 0);
    Put(Path("pass"), {'s', 'e', 'c', 'r', 'e', 't', '\n'});
    Put(Path("wrong"), {'w', 'r', 'o', 'n', 'g', '\n'});
    Put(Path("garbage.p12"), RandomBytes(600, 5));
    ASSERT_EQ(system(("openssl pkcs12 -export -inkey " + Path("key.pem") + " -in " + Path("cert.pem") + " -out " +
                      Path("key.p12") + " -passout file:" + Path("pass") + quiet).c_str()), 0);
    Bytes game = Fixture("game-icon.exe");
    Put(Path("stub"), Fixture("stub32.exe"));
    Put(Path("game"), game);
    const std::string files = " " + Path("stub") + " " + Path("game") + " " + Path("out");
    Put(Path("stderr"), {});
    const size_t filesBefore = FileCount();

    struct Case {
        const char* name;
        std::string options;
        const char* says;
    } refused[] = {
        {"wrong password", "--sign " + Path("key.p12") + " --pass-file " + Path("wrong"), "Wrong password"},
        {"key file that is no key", "--sign " + Path("garbage.p12") + " --pass-file " + Path("pass"), "PKCS#12"},
        {"missing key", "--sign " + Path("none.p12"), "signing with"},
    };
    for (const Case& c : refused) {
        EXPECT_NE(Run("bundle " + c.options + files), 0) << c.name;
        EXPECT_NE(Stderr().find(c.says), std::string::npos) << c.name << ": " << Stderr();
        EXPECT_FALSE(std::filesystem::exists(Path("out"))) << c.name;
        EXPECT_EQ(FileCount(), filesBefore) << c.name << ": a temporary file is left";
    }

    ASSERT_EQ(Run("bundle --sign " + Path("key.p12") + " --pass-file " + Path("pass") + files), 0) << Stderr();
    EXPECT_EQ(system(("osslsigncode verify -CAfile " + Path("cert.pem") + " -in " + Path("out") + quiet).c_str()), 0);
    Bytes out = Get(Path("out"));
    EXPECT_NO_THROW(CheckBundle(out, game));
    EXPECT_NE(ReadPeLayout(out).Directory(4).size, 0u);
    EXPECT_EQ(FileCount(), filesBefore + 1);  // out and nothing else new
}
#endif

}  // namespace
