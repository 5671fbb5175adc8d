// Any bytes as the stub (first byte even; bit 1 picks a game with an icon or
// a few plain bytes, which pack fast) or as the game beside a real stub
// (first byte odd): bundling must refuse or succeed without a fault, and what
// it writes must keep the stub's resources, decode to the game and be
// accepted as a stub again.
#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>

#include <string>

#include "tools/yppack/Bundle.h"
#include "tools/yppack/FileIo.h"
#include "tools/yppack/PeResources.h"

namespace {

using namespace yppack;

const Bytes& Fixture(const char* name) {
    static Bytes stub = ReadWholeFile(std::string(FUZZ_DATA_DIR) + "/stub32.exe", 1u << 20);
    static Bytes game = ReadWholeFile(std::string(FUZZ_DATA_DIR) + "/game-icon.exe", 1u << 20);
    return std::string(name) == "stub" ? stub : game;
}

bool IsPayload(const Resource& r) {
    return r.type.IsId(kRtRcdata) && (r.name.IsName("EXE") || r.name.IsName("EXECRC"));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    Bytes input(data + 1, data + size);
    const bool gameFuzzed = data[0] & 1;
    const Bytes& stub = gameFuzzed ? Fixture("stub") : input;
    static const Bytes plainGame = {'g', 'a', 'm', 'e'};
    const Bytes& game = gameFuzzed ? input : (data[0] & 2) ? Fixture("game") : plainGame;
    BundleReport report;
    Bytes out;
    try {
        out = Bundle(stub, game, report);  // reads out back and decodes it itself
    } catch (const Failure&) {
        if (gameFuzzed) abort();  // any game fits a good stub: at worst without its icon
        return 0;
    }
    std::vector<Resource> before = ReadResources(stub, ReadPeLayout(stub));
    std::vector<Resource> after = ReadResources(out, ReadPeLayout(out));
    for (const Resource& r : before) {
        if (IsPayload(r)) continue;
        bool kept = false;
        for (const Resource& a : after) {
            kept = kept || (SameKey(a.type, r.type) && SameKey(a.name, r.name) && SameKey(a.language, r.language) &&
                            a.data == r.data);
        }
        if (!kept) abort();
    }
    // A finished updater can be bundled again (a new game build).
    BundleReport again;
    try {
        Bundle(out, game, again);
    } catch (const Failure&) {
        abort();
    }
    return 0;
}
