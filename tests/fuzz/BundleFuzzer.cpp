// Any bytes as a stub or as a game, by the first byte:
//   0 mod 4  the stub's resources rewritten with one more: what is accepted
//            has a layout the loader takes, reads back as exactly those
//            resources, the loader finds the new one, and rewriting that
//            again changes nothing (no packing, so this mode runs fast);
//   2 mod 4  the stub bundled with a game that has an icon;
//   odd      the game bundled into a real stub, which must always work.
// The seeds are every PE file of the unit tests' data folder and stubs
// already bundled (tests/fuzz/run); most mutations move their headers and
// sections (PeMutator.cpp) rather than their bytes.
// Bundling must refuse or succeed without a fault; what it writes has passed
// the read-back (CheckBundle), keeps the stub's resources (its icons give way
// to the game's), and bundling it again with the same game changes nothing.
#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>

#include <string>

#include "tests/fuzz/PeMutator.h"
#include "tools/yppack/Bundle.h"
#include "tools/yppack/FileIo.h"
#include "tools/yppack/LoaderView.h"
#include "tools/yppack/Packer.h"
#include "tools/yppack/PeResources.h"

namespace {

using namespace yppack;

const Bytes& Fixture(const char* name) {
    // Linked as Setup.exe is, with .reloc after .rsrc: every game moves it.
    static Bytes stub = ReadWholeFile(std::string(FUZZ_DATA_DIR) + "/reloc32.exe", 1u << 20);
    static Bytes game = ReadWholeFile(std::string(FUZZ_DATA_DIR) + "/game-icon.exe", 1u << 20);
    return std::string(name) == "stub" ? stub : game;
}

bool Equal(const Resource& a, const Resource& b) {
    return SameKey(a.type, b.type) && SameKey(a.name, b.name) && SameKey(a.language, b.language) &&
           a.data == b.data && a.codePage == b.codePage;
}

bool IsExtra(const Resource& r) { return r.type.IsId(kRtRcdata) && r.name.IsName("FUZZ"); }

void RewriteTwice(const Bytes& stub) {
    std::vector<Resource> resources;
    Bytes out;
    try {
        PeLayout layout = ReadPeLayout(stub);
        CheckResourcesRewritable(stub, layout);
        resources = ReadResources(stub, layout);
        for (const Resource& r : resources) {
            if (IsExtra(r)) return;  // the loader's find below must be of ours
        }
        Resource extra;
        extra.type = ResourceKey::Id(kRtRcdata);
        extra.name = ResourceKey::Name("FUZZ");
        extra.data = {1, 2, 3};
        resources.push_back(extra);
        out = RewriteResources(stub, layout, resources);
    } catch (const Failure&) {
        return;
    }
    if (LoadResource(out, kRtRcdata, "FUZZ") != Bytes({1, 2, 3})) abort();
    PeLayout layout = ReadPeLayout(out);
    std::vector<Resource> after = ReadResources(out, layout);
    if (after.size() != resources.size()) abort();
    for (const Resource& r : resources) {
        bool found = false;
        for (const Resource& a : after) found = found || Equal(a, r);
        if (!found) abort();
    }
    if (RewriteResources(out, layout, after) != out) abort();
}

bool IsPayload(const Resource& r) {
    return r.type.IsId(kRtRcdata) && (r.name.IsName("EXE") || r.name.IsName("EXECRC"));
}
bool IsIcon(const Resource& r) { return r.type.IsId(kRtIcon) || r.type.IsId(kRtGroupIcon); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    Bytes input(data + 1, data + size);
    if ((data[0] & 3) == 0) {
        RewriteTwice(input);
        return 0;
    }
    const bool gameFuzzed = data[0] & 1;
    const Bytes& stub = gameFuzzed ? Fixture("stub") : input;
    const Bytes& game = gameFuzzed ? input : Fixture("game");
    // Packing is most of the time a run takes: each game is packed once.
    static const Bytes fixtureContainer = Pack(Fixture("game").data(), Fixture("game").size());
    const Bytes container = gameFuzzed ? Pack(game.data(), game.size()) : fixtureContainer;
    BundleReport report;
    Bytes out;
    try {
        out = BundlePacked(stub, game, container, report);  // reads out back as the loader would
    } catch (const Failure&) {
        if (gameFuzzed) abort();  // any game fits a good stub: at worst without its icon
        return 0;
    }
    std::vector<Resource> before = ReadResources(stub, ReadPeLayout(stub));
    std::vector<Resource> after = ReadResources(out, ReadPeLayout(out));
    for (const Resource& r : before) {
        if (IsPayload(r) || (report.iconImages && IsIcon(r))) continue;
        bool kept = false;
        for (const Resource& a : after) kept = kept || Equal(a, r);
        if (!kept) abort();
    }
    // A finished updater can be bundled again (a new game build), and with
    // the same game it stays as it is.
    BundleReport again;
    try {
        if (BundlePacked(out, game, container, again) != out) abort();
    } catch (const Failure&) {
        abort();
    }
    return 0;
}

extern "C" size_t LLVMFuzzerMutate(uint8_t* data, size_t size, size_t maxSize);

// Two mutations in three move the PE file's structure; the first byte, the
// mode, and everything else change byte by byte.
extern "C" size_t LLVMFuzzerCustomMutator(uint8_t* data, size_t size, size_t maxSize, unsigned int seed) {
    if (size > 1 && seed % 3 != 0) {
        size_t changed = fuzz::MutatePe(data + 1, size - 1, maxSize - 1, seed / 3);
        if (changed) return changed + 1;
    }
    return LLVMFuzzerMutate(data, size, maxSize);
}
