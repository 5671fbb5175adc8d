// yppack bundle: the stub's resources rewritten with the packed game, its CRC
// and its icon, the loader's header fields to match, the read-back, and the
// refusals.
#include <gtest/gtest.h>

#include <ctype.h>
#include <sys/stat.h>

#include <algorithm>
#include <random>
#include <string>

#include "tests/unit/YppackCli.h"
#include "payload/Checksum.h"
#include "tools/yppack/Bundle.h"
#include "tools/yppack/FileIo.h"
#include "tools/yppack/LoaderView.h"
#include "tools/yppack/Packer.h"
#include "tools/yppack/PeFormat.h"
#include "tools/yppack/PeResources.h"

namespace {

using namespace yppack;
using pe::Get16;
using pe::Get32;
using pe::Put16;
using pe::Put32;

Bytes Fixture(const std::string& name) { return ReadWholeFile(std::string(UNIT_TEST_DATA_DIR) + "/" + name, 1u << 20); }

// file with the 32-bit fields at the given offsets set.
Bytes Patched(Bytes file, std::initializer_list<std::pair<size_t, uint32_t>> fields) {
    for (const auto& [at, value] : fields) Put32(file, at, value);
    return file;
}

Bytes Le32(uint32_t v) { return Patched(Bytes(4), {{0, v}}); }

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

size_t CountOf(const std::vector<Resource>& resources, uint32_t type) {
    return std::count_if(resources.begin(), resources.end(), [&](const Resource& r) { return r.type.IsId(type); });
}

Resource Rcdata(const char* name, Bytes data, uint32_t language = 0x411) {
    Resource r;
    r.type = ResourceKey::Id(kRtRcdata);
    r.name = ResourceKey::Name(name);
    r.language = ResourceKey::Id(language);
    r.data = std::move(data);
    return r;
}

// file rewritten with the resources it has, less those edit drops, plus more.
Bytes WithResources(const Bytes& file, std::vector<Resource> more,
                    bool (*drops)(const Resource&) = [](const Resource&) { return false; }) {
    std::vector<Resource> resources = ResourcesOf(file);
    resources.erase(std::remove_if(resources.begin(), resources.end(), drops), resources.end());
    resources.insert(resources.end(), more.begin(), more.end());
    return RewriteResources(file, ReadPeLayout(file), resources);
}

bool IsPayload(const Resource& r) { return r.type.IsId(kRtRcdata) && (r.name.IsName("EXE") || r.name.IsName("EXECRC")); }

std::string Describe(const Resource& r) {
    auto key = [](const ResourceKey& k) {
        return k.isName ? std::string(k.name.begin(), k.name.end()) : std::to_string(k.id);
    };
    return key(r.type) + "/" + key(r.name) + "/" + key(r.language);
}

// The raw offset of the resource tree and of the directory under entry
// index of the directory at dir.
size_t TreeOffset(const Bytes& file) {
    PeLayout layout = ReadPeLayout(file);
    for (const PeSection& s : layout.sections) {
        if (s.virtualAddress == layout.Directory(kResourceDirectory).rva) return s.rawOffset;
    }
    return 0;
}
size_t Subdirectory(const Bytes& file, size_t tree, size_t dir, uint32_t index) {
    return tree + (Get32(file, dir + 16 + 8 * index + 4) & 0x7FFFFFFF);
}

// The stub with its RCDATA names listed the way an older yppack wrote them:
// ignoring case, so that the loader's bisection misses some.
Bytes NamesSortedIgnoringCase(Bytes file) {
    const size_t tree = TreeOffset(file);
    size_t rcdata = 0;
    for (uint32_t i = Get16(file, tree + 12); i < Get16(file, tree + 12) + Get16(file, tree + 14); ++i) {
        if (Get32(file, tree + 16 + 8 * i) == kRtRcdata) rcdata = Subdirectory(file, tree, tree, i);
    }
    struct Entry {
        std::string folded;
        Bytes bytes;
    };
    std::vector<Entry> entries;
    for (uint32_t i = 0; i < Get16(file, rcdata + 12); ++i) {
        size_t at = rcdata + 16 + 8 * i;
        size_t name = tree + (Get32(file, at) & 0x7FFFFFFF);
        Entry e{"", Bytes(file.begin() + at, file.begin() + at + 8)};
        for (uint32_t k = 0; k < Get16(file, name); ++k) e.folded += static_cast<char>(toupper(file[name + 2 + 2 * k]));
        entries.push_back(e);
    }
    std::stable_sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) { return a.folded < b.folded; });
    for (size_t i = 0; i < entries.size(); ++i) std::copy(entries[i].bytes.begin(), entries[i].bytes.end(), file.begin() + rcdata + 16 + 8 * i);
    return file;
}

// A PE32 of headers and one section that holds the resource tree tree, at
// the first aligned RVA: kTreeRva, below 4 KiB of FileAlignment.
constexpr uint32_t kTreeRva = 0x1000;
Bytes PeWithResourceTree(const Bytes& tree, uint32_t fileAlignment = 0x200) {
    constexpr size_t kPe = 0x40, kOpt = kPe + pe::kOptionalHeader, kOptSize = 0xE0;
    const uint32_t rva = std::max(kTreeRva, fileAlignment), size = static_cast<uint32_t>(tree.size());
    const uint32_t rawSize = static_cast<uint32_t>(pe::AlignUp(size, fileAlignment));
    Bytes f(fileAlignment + rawSize, 0);
    Put16(f, 0, pe::kMz);
    Put32(f, pe::kLfanew, kPe);
    Put32(f, kPe, pe::kPeSignature);
    Put16(f, kPe + 4, 0x14C);  // i386
    Put16(f, kPe + pe::kNumberOfSections, 1);
    Put16(f, kPe + pe::kSizeOfOptionalHeader, kOptSize);
    Put16(f, kOpt + pe::kOptionalMagic, pe::kPe32Magic);
    Put32(f, kOpt + pe::kSectionAlignment, rva);
    Put32(f, kOpt + pe::kFileAlignment, fileAlignment);
    Put32(f, kOpt + pe::kSizeOfImage, rva + static_cast<uint32_t>(pe::AlignUp(size, rva)));
    Put32(f, kOpt + pe::kSizeOfHeaders, fileAlignment);
    const size_t count = kOpt + pe::NumberOfRvaAndSizes(false);
    Put32(f, count, pe::kMaxDirectories);
    Put32(f, count + 4 + 8 * kResourceDirectory, rva);
    Put32(f, count + 4 + 8 * kResourceDirectory + 4, size);
    const size_t section = kOpt + kOptSize;
    std::copy_n(".rsrc", 5, f.begin() + section);
    Put32(f, section + pe::kVirtualSize, size);
    Put32(f, section + pe::kVirtualAddress, rva);
    Put32(f, section + pe::kSizeOfRawData, rawSize);
    Put32(f, section + pe::kPointerToRawData, fileAlignment);
    Put32(f, section + pe::kSectionCharacteristics, 0x40000040);
    std::copy(tree.begin(), tree.end(), f.begin() + fileAlignment);
    return f;
}

// A tree of types 1..types, each with one name (1, or a name of 65535
// letters that all share when longName) and languages 1..languages under
// it, all leading to one empty data entry: a resource costs the file 8
// bytes. Padded to size.
Bytes SharedEmptyResources(uint32_t types, uint32_t languages, size_t size = 0, bool longName = false) {
    const size_t typeSize = 40 + 8 * languages, dataEntry = 16 + 8 * types + types * typeSize, name = dataEntry + 16;
    Bytes tree(std::max(size, name + 2 + 2 * 0xFFFF), 'n');
    std::fill(tree.begin(), tree.begin() + name, 0);
    Put16(tree, 14, types);
    for (uint32_t t = 0; t < types; ++t) {
        const size_t names = 16 + 8 * types + t * typeSize, dir = names + 24;
        Put32(tree, 16 + 8 * t, t + 1);
        Put32(tree, 20 + 8 * t, names | pe::kHighBit);
        Put16(tree, names + 12 + 2 * !longName, 1);
        Put32(tree, names + 16, longName ? name | pe::kHighBit : 1);
        Put32(tree, names + 20, dir | pe::kHighBit);
        Put16(tree, dir + 14, languages);
        for (uint32_t l = 0; l < languages; ++l) Put32(tree, dir + 16 + 8 * l, l + 1);
        for (uint32_t l = 0; l < languages; ++l) Put32(tree, dir + 20 + 8 * l, dataEntry);
    }
    Put32(tree, dataEntry, kTreeRva);
    Put16(tree, name, 0xFFFF);
    return PeWithResourceTree(tree);
}

const char* const kStubs[] = {"stub32.exe", "stub64.exe"};
// What data/make-pe-fixtures.sh puts in the stubs, in the order the loader
// searches: all in language 0x411, names before ids, names by code unit.
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
        EXPECT_EQ(Find(resources, kRtRcdata, ResourceKey::Name("HELLO"))->data,
                  Bytes({'h', 'e', 'l', 'l', 'o', 0x34, 0x12}))
            << name;
        // The loader upper-cases the name it is asked for.
        EXPECT_EQ(LoadResource(Fixture(name), kRtRcdata, "hello"), Bytes({'h', 'e', 'l', 'l', 'o', 0x34, 0x12}))
            << name;
    }
}

TEST(PeResources, ChecksumAgreesWithTheLinkers) {
    for (const char* name : {"stub32.exe", "stub64.exe", "game-icon.exe"}) {
        Bytes file = Fixture(name);
        PeLayout layout = ReadPeLayout(file);
        EXPECT_EQ(PeChecksum(file, layout), Get32(file, ChecksumOffset(layout))) << name;
        file.push_back(1);  // an odd length counts its last byte as a word
        EXPECT_EQ(PeChecksum(file, layout), Get32(file, ChecksumOffset(layout)) + 2) << name;
    }
}

// Names sorted without case put "about" before "EXE", where the loader's
// bisection, comparing code units, never looks; names that differ only in
// case were taken for one.
TEST(PeResources, NamesSortByCodeUnitsAsTheLoaderSearches) {
    Bytes stub = WithResources(Fixture("stub32.exe"),
                               {Rcdata("config", {1}), Rcdata("about", {2}), Rcdata("CONFIG", {3})});
    BundleReport report;
    Bytes out = Bundle(stub, RandomBytes(500, 1), report);
    std::vector<std::string> rcdata;
    for (const Resource& r : ResourcesOf(out)) {
        if (r.type.IsId(kRtRcdata)) rcdata.push_back(Describe(r));
    }
    EXPECT_EQ(rcdata, std::vector<std::string>({"10/CONFIG/1041", "10/EXE/1041", "10/EXECRC/1041", "10/HELLO/1041",
                                                "10/about/1041", "10/config/1041"}));
    EXPECT_EQ(LoadResource(out, kRtRcdata, "config"), Bytes({3}));
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
            if (IsPayload(r)) continue;
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
        EXPECT_EQ(crc->data, Le32(Crc32(game.data(), static_cast<uint32_t>(game.size())))) << name;

        // Headers: only the fields that describe the resource section change.
        PeLayout in = ReadPeLayout(stub);
        PeLayout layout = ReadPeLayout(out);
        const PeSection& rsrc = layout.sections.back();
        const size_t opt = layout.optionalHeader;
        const uint32_t sectionAlignment = Get32(out, opt + pe::kSectionAlignment);
        const uint32_t fileAlignment = Get32(out, opt + pe::kFileAlignment);
        const size_t changed[] = {opt + pe::kSizeOfInitializedData,
                                  opt + pe::kSizeOfImage,
                                  ChecksumOffset(layout),
                                  layout.directories + 8 * kResourceDirectory + 4,
                                  rsrc.headerOffset + pe::kVirtualSize,
                                  rsrc.headerOffset + pe::kSizeOfRawData};
        ASSERT_EQ(rsrc.rawOffset, in.sections.back().rawOffset) << name;
        for (size_t i = 0; i < rsrc.rawOffset; i += 4) {
            if (std::find(std::begin(changed), std::end(changed), i) != std::end(changed)) continue;
            ASSERT_EQ(Get32(out, i), Get32(stub, i)) << name << ": header byte " << i;
        }
        EXPECT_EQ(layout.Directory(kResourceDirectory).size, rsrc.virtualSize) << name;
        EXPECT_EQ(rsrc.rawSize % fileAlignment, 0u) << name;
        EXPECT_GE(rsrc.rawSize, rsrc.virtualSize) << name;
        EXPECT_EQ(out.size(), rsrc.rawOffset + rsrc.rawSize) << name;
        uint32_t imageSize = (rsrc.virtualAddress + rsrc.virtualSize + sectionAlignment - 1) / sectionAlignment *
                             sectionAlignment;
        EXPECT_EQ(Get32(out, opt + pe::kSizeOfImage), imageSize) << name << ": SizeOfImage";
        EXPECT_EQ(Get32(out, opt + pe::kSizeOfInitializedData),
                  Get32(stub, opt + pe::kSizeOfInitializedData) + rsrc.rawSize - in.sections.back().rawSize)
            << name << ": SizeOfInitializedData";
        EXPECT_EQ(Get32(out, ChecksumOffset(layout)), PeChecksum(out, layout)) << name;
    }
}

// Up to 64 KiB, the largest the loader takes.
TEST(Bundle, TakesAStubOfAnyFileAlignmentTheLoaderTakes) {
    for (uint32_t alignment : {0x200u, 0x10000u}) {
        BundleReport report;
        EXPECT_NO_THROW(Bundle(PeWithResourceTree(Bytes(16, 0), alignment), RandomBytes(100, 1), report)) << alignment;
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
        std::vector<Resource> after = ResourcesOf(out);
        ExpectListed(after, name);
        for (const Resource& r : ResourcesOf(stub)) {
            if (IsPayload(r)) continue;
            EXPECT_EQ(Find(after, r.type.id, r.name)->data, r.data) << name << ": " << Describe(r) << " changed";
        }

        PeLayout in = ReadPeLayout(stub);
        PeLayout layout = ReadPeLayout(out);
        ASSERT_EQ(layout.sections.size(), in.sections.size()) << name;
        const PeSection& rsrc = layout.sections[layout.sections.size() - 2];
        const PeSection& reloc = layout.sections.back();
        const PeSection& oldReloc = in.sections.back();
        const size_t opt = layout.optionalHeader;
        const uint32_t sectionAlignment = Get32(out, opt + pe::kSectionAlignment);
        auto aligned = [&](uint32_t v) { return (v + sectionAlignment - 1) / sectionAlignment * sectionAlignment; };
        const size_t changed[] = {opt + pe::kSizeOfInitializedData,
                                  opt + pe::kSizeOfImage,
                                  ChecksumOffset(layout),
                                  layout.directories + 8 * kResourceDirectory + 4,
                                  layout.directories + 8 * kRelocationDirectory,
                                  rsrc.headerOffset + pe::kVirtualSize,
                                  rsrc.headerOffset + pe::kSizeOfRawData,
                                  reloc.headerOffset + pe::kVirtualAddress,
                                  reloc.headerOffset + pe::kPointerToRawData};
        for (size_t i = 0; i < rsrc.rawOffset; i += 4) {
            if (std::find(std::begin(changed), std::end(changed), i) != std::end(changed)) continue;
            ASSERT_EQ(Get32(out, i), Get32(stub, i)) << name << ": byte " << i << " before the resources";
        }
        EXPECT_EQ(reloc.virtualAddress, aligned(rsrc.virtualAddress + rsrc.virtualSize)) << name;
        EXPECT_GT(reloc.virtualAddress, oldReloc.virtualAddress) << name << ": the fixture must make it move";
        EXPECT_EQ(reloc.rawOffset, rsrc.rawOffset + rsrc.rawSize) << name;
        EXPECT_EQ(out.size(), reloc.rawOffset + reloc.rawSize) << name;
        EXPECT_TRUE(std::equal(out.begin() + reloc.rawOffset, out.end(), stub.begin() + oldReloc.rawOffset,
                               stub.begin() + oldReloc.rawOffset + oldReloc.rawSize))
            << name << ": the relocations changed";
        EXPECT_EQ(layout.Directory(kRelocationDirectory).rva,
                  in.Directory(kRelocationDirectory).rva - oldReloc.virtualAddress + reloc.virtualAddress)
            << name;
        EXPECT_EQ(layout.Directory(kRelocationDirectory).size, in.Directory(kRelocationDirectory).size) << name;
        EXPECT_EQ(Get32(out, opt + pe::kSizeOfImage), aligned(reloc.virtualAddress + reloc.virtualSize))
            << name << ": SizeOfImage";
        EXPECT_EQ(Get32(out, ChecksumOffset(layout)), PeChecksum(out, layout)) << name;
        // A finished updater bundled again with a small game: it moves back.
        Bytes again = Bundle(out, RandomBytes(10, 4), report);
        EXPECT_EQ(ReadPeLayout(again).sections.back().virtualAddress, oldReloc.virtualAddress) << name;
    }
}

// The game's group went in under the lowest free id, after the stub's: the
// stub's icon showed, and bundling a finished updater again added one more
// icon each time.
TEST(Bundle, GameIconReplacesTheStubsAndBundlingAgainGivesWhatTheStubGives) {
    const Bytes game = Fixture("game-icon.exe");
    const std::vector<Resource> gameResources = ResourcesOf(game);
    // The game's first group is MAINICON (names come first), images 1, 2, 3.
    const Resource* gameGroup = Find(gameResources, kRtGroupIcon, ResourceKey::Name("MAINICON"));
    ASSERT_TRUE(gameGroup);
    // A later build of the game: the same icon with other pixels.
    std::vector<Resource> repainted;
    for (Resource r : gameResources) {
        if (!r.type.IsId(kRtIcon)) continue;
        for (uint8_t& b : r.data) b ^= 0x5A;
        repainted.push_back(r);
    }
    const Bytes newGame = WithResources(game, repainted, [](const Resource& r) { return r.type.IsId(kRtIcon); });
    for (const char* name : {"stub32.exe", "stub64.exe", "reloc32.exe"}) {
        const Bytes stub = Fixture(name);
        BundleReport report;
        const Bytes out = Bundle(stub, game, report);
        EXPECT_EQ(report.iconImages, 3u) << name;
        // The stub's images 1, 2 and group 1 are gone; the game's take their ids.
        std::vector<Resource> resources = ResourcesOf(out);
        EXPECT_EQ(CountOf(resources, kRtGroupIcon), 1u) << name;
        EXPECT_EQ(CountOf(resources, kRtIcon), 3u) << name;
        const Resource* group = Find(resources, kRtGroupIcon, ResourceKey::Id(1));
        ASSERT_TRUE(group) << name;
        EXPECT_EQ(group->data, gameGroup->data) << name;
        for (uint32_t id = 1; id <= 3; ++id) {
            const Resource* image = Find(resources, kRtIcon, ResourceKey::Id(id));
            ASSERT_TRUE(image) << name << " image " << id;
            EXPECT_EQ(image->data, Find(gameResources, kRtIcon, ResourceKey::Id(id))->data) << name;
        }
        const Bytes again = Bundle(out, newGame, report);
        EXPECT_TRUE(again == Bundle(stub, newGame, report)) << name;
        resources = ResourcesOf(again);
        EXPECT_EQ(Find(resources, kRtIcon, ResourceKey::Id(1))->data, repainted[0].data) << name;
    }
    // A game without an icon keeps the stub's.
    BundleReport report;
    Bytes out = Bundle(Fixture("stub32.exe"), RandomBytes(100, 1), report);
    std::vector<Resource> resources = ResourcesOf(out);
    EXPECT_EQ(CountOf(resources, kRtGroupIcon), 1u);
    EXPECT_EQ(CountOf(resources, kRtIcon), 2u);
    EXPECT_EQ(report.iconImages, 0u);
}

// A game whose resources cannot be read is bundled all the same, without its
// icon; the note says why.
TEST(Bundle, GameWhoseResourcesCannotBeReadGoesInWithoutItsIcon) {
    const Bytes withIcon = Fixture("game-icon.exe");
    struct Case {
        const char* name;
        Bytes game;
        const char* note;
    } cases[] = {
        {"not a program", RandomBytes(300, 2), "not a PE file"},
        {"no icon", PeWithResourceTree(Bytes(16, 0)), "the game has no icon"},
        // Its layout was not checked before its tree was read.
        {"cut short in its resources", Bytes(withIcon.begin(), withIcon.end() - 0x600), "cut short"},
        // Each resource's copy of its name: a 35 KB game made bundle take
        // 90 MB. Five copies cost over four times the file, under eight.
        {"five resources under one long name", SharedEmptyResources(1, 5, 0, true), "names and data add up"},
        // Each resource's own cost: a 16 MB game of two million took 361 MB.
        {"10000 empty resources in 300 KB", SharedEmptyResources(1, 10000, 300000), "names and data add up"},
        {"80000 empty resources in 4 MB", SharedEmptyResources(2, 40000, 4 << 20), "more than 65536 entries"},
    };
    for (const Case& c : cases) {
        BundleReport report;
        Bytes out = Bundle(Fixture("stub32.exe"), c.game, report);
        EXPECT_EQ(report.iconImages, 0u) << c.name;
        EXPECT_NE(report.iconNote.find(c.note), std::string::npos) << c.name << ": " << report.iconNote;
    }
}

// The read-back compared nothing it was not given: a bundle whose EXE or
// EXECRC disagreed with the game, by content or by length, passed.
TEST(CheckBundle, RefusesABundleThatDisagreesWithTheGame) {
    const Bytes stub = Fixture("reloc32.exe");
    const Bytes game = RandomBytes(3000, 7);
    Bytes sameLength = game;
    sameLength[1000] ^= 1;
    const Bytes crc = Le32(Crc32(game.data(), static_cast<uint32_t>(game.size())));
    const Bytes otherCrc = Le32(Crc32(sameLength.data(), static_cast<uint32_t>(sameLength.size())));
    auto bundle = [&](std::vector<Resource> payload) { return WithResources(stub, payload, IsPayload); };
    Bytes longerCrc = crc;
    longerCrc.push_back(0);
    const Bytes container = Pack(game.data(), game.size());
    // EXECRC last in the tree, its bytes past the raw data: mapped as zeros.
    Bytes crcPastRaw = WithResources(stub, {Rcdata("EXE", container), Rcdata("EXECRC", crc)},
                                     [](const Resource&) { return true; });
    const PeSection rsrc = ReadPeLayout(crcPastRaw).sections.end()[-2];
    Put32(crcPastRaw, rsrc.headerOffset + pe::kSizeOfRawData, rsrc.virtualSize - 4);
    struct Case {
        const char* name;
        Bytes bundled;
        const char* says;
    } cases[] = {
        {"EXE of another game as long", bundle({Rcdata("EXE", Pack(sameLength.data(), sameLength.size())), Rcdata("EXECRC", crc)}),
         "EXE does not decode to the game"},
        {"EXECRC of another game", bundle({Rcdata("EXE", Pack(game.data(), game.size())), Rcdata("EXECRC", otherCrc)}),
         "EXECRC is not the game's CRC-32"},
        {"EXECRC a byte longer", bundle({Rcdata("EXE", Pack(game.data(), game.size())), Rcdata("EXECRC", longerCrc)}),
         "EXECRC is not the game's CRC-32"},
        {"no EXECRC", bundle({Rcdata("EXE", Pack(game.data(), game.size()))}), "finds no EXECRC"},
        {"EXE in two languages",
         bundle({Rcdata("EXE", Pack(game.data(), game.size())), Rcdata("EXE", {1}, 0x409), Rcdata("EXECRC", crc)}),
         "EXE (type 10) is there in 2 languages"},
        // A loader view searching by a scan, or upper-casing stored names.
        {"names sorted ignoring case",
         NamesSortedIgnoringCase(bundle({Rcdata("a", {}), Rcdata("b", {}), Rcdata("c", {}), Rcdata("d", {}),
                                         Rcdata("EXE", container), Rcdata("EXECRC", crc)})),
         "finds no EXE"},
        {"names in lower case", bundle({Rcdata("exe", container), Rcdata("execrc", crc)}), "finds no EXE"},
        {"EXECRC past the raw data", crcPastRaw, "EXECRC is not the game's CRC-32"},
    };
    for (const Case& c : cases) {
        try {
            CheckBundle(c.bundled, game);
            ADD_FAILURE() << c.name << ": passed";
        } catch (const Failure& e) {
            EXPECT_NE(std::string(e.what()).find(c.says), std::string::npos) << c.name << ": " << e.what();
        }
    }
    EXPECT_NO_THROW(
        CheckBundle(bundle({Rcdata("EXE", Pack(game.data(), game.size())), Rcdata("EXECRC", crc)}), game));
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
    const size_t opt = layout.optionalHeader;
    const size_t resourceDirectory = layout.directories + 8 * kResourceDirectory;
    const PeSection& text = layout.sections[0];
    const PeSection& idata = layout.sections[3];
    const PeSection& rsrc = layout.sections[4];
    Bytes signedStub = Patched(stub, {{layout.directories + 8 * kSecurityDirectory, static_cast<uint32_t>(stub.size())},
                                      {layout.directories + 8 * kSecurityDirectory + 4, 16}});
    signedStub.resize(stub.size() + 16, 0x30);
    Bytes overlay = stub;
    overlay.insert(overlay.end(), {'m', 'o', 'r', 'e'});
    // The headers copied into the resource section, e_lfanew pointing there.
    Bytes headersInResources = stub;
    const uint32_t movedHeaders = rsrc.rawOffset + 0x200;
    std::copy(stub.begin() + Get32(stub, pe::kLfanew), stub.begin() + layout.headersEnd,
              headersInResources.begin() + movedHeaders);
    Put32(headersInResources, pe::kLfanew, movedHeaders);
    // One relocation (type, offset) in page, from a table in .text.
    auto relocationFromText = [&](uint32_t page, uint32_t entry) {
        return Patched(stub, {{text.headerOffset + pe::kVirtualSize, 0x100},
                              {layout.directories + 8 * kRelocationDirectory, text.virtualAddress + 0x80},
                              {layout.directories + 8 * kRelocationDirectory + 4, 12},
                              {text.rawOffset + 0x80, page},
                              {text.rawOffset + 0x84, 12},
                              {text.rawOffset + 0x88, entry}});
    };
    const size_t debugDirectory = layout.directories + 8 * 6;
    // The relocatable stub (.reloc after .rsrc) made into what must not move.
    const Bytes reloc = Fixture("reloc32.exe");
    const PeLayout relocLayout = ReadPeLayout(reloc);
    const uint32_t relocTable = relocLayout.sections.back().rawOffset;
    const size_t relocDirectories = relocLayout.directories;
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
        {"resources not last", Patched(stub, {{resourceDirectory, idata.virtualAddress}, {resourceDirectory + 4, 4}}),
         "not the last"},
        {"resources not a section's start",
         Patched(stub, {{resourceDirectory, rsrc.virtualAddress + 16}, {resourceDirectory + 4, 0x100}}),
         "do not start a section"},
        {"a section after the resources that holds no relocations",
         Patched(reloc, {{relocDirectories + 8 * kRelocationDirectory, 0}}), "not the last"},
        {"another table in the relocation section",
         Patched(reloc, {{relocDirectories + 8 * 6, relocLayout.Directory(kRelocationDirectory).rva},
                         {relocDirectories + 8 * 6 + 4, 4}}),
         "not the last"},
        {"relocations after the resources that patch them", Patched(reloc, {{relocTable, relocLayout.Directory(2).rva}}),
         "patch its resources"},
        {"relocations before the resources that patch them", relocationFromText(rsrc.virtualAddress, 0x3010),
         "patch its resources"},
        {"a 32-bit relocation from the page below running into the resources",
         relocationFromText(rsrc.virtualAddress - 0x1000, 0x3FFE), "patch its resources"},
        // Past their VirtualSize but inside their last page, which the loader maps.
        {"a table just past the resources' data",
         Patched(stub, {{debugDirectory, rsrc.virtualAddress + rsrc.virtualSize}, {debugDirectory + 4, 4}}),
         "another table (data directory 6)"},
        {"relocation block of no size", Patched(reloc, {{relocTable + 4, 0}}), "relocation table is damaged"},
        // Rewriting set header fields past the end of what it had written.
        {"headers inside the resources", headersInResources, "past its SizeOfHeaders"},
        {"SizeOfHeaders past the sections' start", Patched(stub, {{opt + pe::kSizeOfHeaders, rsrc.rawOffset + 0x200}}),
         "lies within its headers"},
        // A 16 MB Setup.exe, or a buffer of 2 GiB.
        {"FileAlignment 16 MiB",
         Patched(stub, {{opt + pe::kFileAlignment, 1u << 24}, {opt + pe::kSectionAlignment, 1u << 24}}),
         "FileAlignment 0x1000000 is not a power of two from 512 to 64 KiB"},
        {"FileAlignment 2^31", Patched(stub, {{opt + pe::kFileAlignment, 1u << 31}}), "FileAlignment 0x80000000"},
        {"FileAlignment 256", Patched(stub, {{opt + pe::kFileAlignment, 256}}), "FileAlignment 0x100"},
        {"FileAlignment 0x300", PeWithResourceTree(Bytes(16, 0), 0x300), "FileAlignment 0x300 is not a power of two"},
        {"FileAlignment above SectionAlignment", Patched(stub, {{opt + pe::kFileAlignment, 0x2000}}),
         "not a power of two at least its FileAlignment"},
        {"SectionAlignment below the page and apart from FileAlignment",
         Patched(stub, {{opt + pe::kSectionAlignment, 0x800}}), "below the page size"},
        {"resources' raw data unaligned", Patched(stub, {{rsrc.headerOffset + pe::kPointerToRawData, rsrc.rawOffset + 0x100}}),
         "not a multiple of its FileAlignment"},
        {"resources' address unaligned",
         Patched(stub, {{rsrc.headerOffset + pe::kVirtualAddress, rsrc.virtualAddress + 0x100},
                        {resourceDirectory, rsrc.virtualAddress + 0x100}}),
         "not a multiple of its SectionAlignment"},
        {"sections apart", Patched(stub, {{rsrc.headerOffset + pe::kVirtualAddress, rsrc.virtualAddress + 0x1000},
                                          {resourceDirectory, rsrc.virtualAddress + 0x1000}}),
         "not adjacent"},
        {"SizeOfImage short of the last section", Patched(stub, {{opt + pe::kSizeOfImage, rsrc.virtualAddress}}),
         "SizeOfImage"},
        {"SizeOfImage past the last section",
         Patched(stub, {{opt + pe::kSizeOfImage, Get32(stub, opt + pe::kSizeOfImage) + 0x1000}}), "SizeOfImage"},
        // Written so by an older yppack: the loader finds neither EXE nor EXECRC.
        {"names sorted ignoring case",
         NamesSortedIgnoringCase(WithResources(stub, {Rcdata("config", {1}), Rcdata("about", {2})})),
         "names are out of order"},
        // 471 MB for a 16 MB stub, and a Setup.exe of 48.8 MB from it; a
        // Setup.exe with a copy of the name for each type.
        {"80000 empty resources in 4 MB", SharedEmptyResources(2, 40000, 4 << 20), "more than 65536 entries"},
        {"three types named by one long name", SharedEmptyResources(3, 1, 0, true), "overlaps itself"},
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
        expectRefused(c.name, "game", "yppack: the stub " + Path("stub") + ": ");
        EXPECT_NE(Stderr().find(c.says), std::string::npos) << c.name << ": " << Stderr();
    }
    Put(Path("stub"), stub);
    expectRefused("game too large", "big-game", "longer than 16777215 bytes, the most a container holds");
    // The note on size came after every failed read of the game.
    expectRefused("game missing", "none", "cannot open " + Path("none") + ": No such file or directory\n");
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
    // OpenSSL 1.x's format (RC2-40): signed, then its certificates were unreadable.
    ASSERT_EQ(system(("openssl pkcs12 -export -legacy -inkey " + Path("key.pem") + " -in " + Path("cert.pem") +
                      " -out " + Path("legacy.p12") + " -passout file:" + Path("pass") + quiet).c_str()), 0);
    Bytes game = Fixture("game-icon.exe");
    Put(Path("stub"), Fixture("stub32.exe"));
    Put(Path("game"), game);
    const std::string files = " " + Path("stub") + " " + Path("game") + " " + Path("out");
    Put(Path("stderr"), {});
    // The tools' files go to a folder of the run's own, made in TMPDIR.
    std::filesystem::create_directories(Path("tmp"));
    const std::string tmp = "TMPDIR=" + Path("tmp") + " ";
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
        EXPECT_NE(Run("bundle " + c.options + files, tmp), 0) << c.name;
        EXPECT_NE(Stderr().find(c.says), std::string::npos) << c.name << ": " << Stderr();
        EXPECT_FALSE(std::filesystem::exists(Path("out"))) << c.name;
        EXPECT_EQ(FileCount(), filesBefore) << c.name << ": a temporary file is left";
        EXPECT_TRUE(std::filesystem::is_empty(Path("tmp"))) << c.name << ": the signing folder is left";
    }
    EXPECT_EQ(Run("bundle --sign " + Path("legacy.p12") + " --pass-file " + Path("pass") + files, tmp), 0) << Stderr();
    EXPECT_EQ(system(("osslsigncode verify -CAfile " + Path("cert.pem") + " -in " + Path("out") + quiet).c_str()), 0);
    std::filesystem::remove(Path("out"));
    // osslsigncode before 2.6, Debian 12's own, knows no -ignore-cdp.
    std::filesystem::create_directories(Path("old"));
    const std::string old = "#!/bin/sh\nfor a; do [ \"$a\" = -ignore-cdp ] && echo 'Unknown option: -ignore-cdp' && "
                            "exit 255; done\nPATH=${PATH#*:} exec osslsigncode \"$@\"\n";
    Put(Path("old/osslsigncode"), Bytes(old.begin(), old.end()));
    std::filesystem::permissions(Path("old/osslsigncode"), std::filesystem::perms(0755));
    EXPECT_EQ(Run("bundle --sign " + Path("key.p12") + " --pass-file " + Path("pass") + files,
                  tmp + "PATH=" + Path("old") + ":$PATH "),
              0)
        << Stderr();
    std::filesystem::remove(Path("out"));

    // Signing used fixed names beside OUT: links planted there were followed
    // (their targets replaced or truncated), a file there overwritten and
    // removed, the stub itself when it had that name.
    namespace fs = std::filesystem;
    Put(Path("victim"), {'v'});
    fs::create_symlink(Path("victim"), Path("out.unsigned.signed"));
    fs::create_symlink(Path("victim"), Path("out.unsigned.log"));
    fs::create_symlink(Path("nowhere"), Path("out.unsigned.certs.pem"));
    ASSERT_EQ(mkfifo(Path("out.unsigned.fifo").c_str(), 0600), 0);
    fs::rename(Path("stub"), Path("out.unsigned"));
    const size_t planted = FileCount();
    ASSERT_EQ(Run("bundle --sign " + Path("key.p12") + " --pass-file " + Path("pass") + " " + Path("out.unsigned") +
                      " " + Path("game") + " " + Path("out"),
                  tmp),
              0)
        << Stderr();
    EXPECT_EQ(system(("osslsigncode verify -CAfile " + Path("cert.pem") + " -in " + Path("out") + quiet).c_str()), 0);
    Bytes out = Get(Path("out"));
    EXPECT_NO_THROW(CheckBundle(out, game));
    EXPECT_NE(ReadPeLayout(out).Directory(kSecurityDirectory).size, 0u);
    EXPECT_EQ(FileCount(), planted + 1);  // out and nothing else new
    EXPECT_TRUE(fs::is_empty(Path("tmp")));
    EXPECT_EQ(Get(Path("victim")), Bytes({'v'}));
    EXPECT_TRUE(Get(Path("out.unsigned")) == Fixture("stub32.exe"));
    EXPECT_FALSE(fs::exists(Path("nowhere")));
    for (const char* name : {"out.unsigned.signed", "out.unsigned.log", "out.unsigned.certs.pem"}) {
        EXPECT_TRUE(fs::is_symlink(Path(name))) << name;
    }
    EXPECT_TRUE(fs::is_fifo(fs::symlink_status(Path("out.unsigned.fifo"))));
}

// Ctrl-C while osslsigncode ran left the unsigned bundle beside OUT.
TEST_F(YppackCli, InterruptWhileSigningLeavesNothingBehind) {
    namespace fs = std::filesystem;
    fs::create_directories(Path("bin"));
    fs::create_directories(Path("tmp"));
    // A signer that interrupts yppack, then waits to be stopped.
    const std::string signer = "#!/bin/sh\nkill -INT $PPID\nexec sleep 60\n";
    Put(Path("bin/osslsigncode"), Bytes(signer.begin(), signer.end()));
    fs::permissions(Path("bin/osslsigncode"), fs::perms(0755));
    Put(Path("stub"), Fixture("stub32.exe"));
    Put(Path("game"), RandomBytes(3000, 8));
    Put(Path("key.p12"), RandomBytes(100, 9));
    const size_t filesBefore = FileCount() + 1;  // and stderr
    EXPECT_NE(Run("bundle --sign " + Path("key.p12") + " " + Path("stub") + " " + Path("game") + " " + Path("out"),
                  "PATH=" + Path("bin") + ":$PATH TMPDIR=" + Path("tmp") + " "),
              0);
    EXPECT_TRUE(fs::is_empty(Path("tmp"))) << "the signing folder is left";
    EXPECT_EQ(FileCount(), filesBefore) << "OUT or a temporary file is there";
}
#endif

}  // namespace
