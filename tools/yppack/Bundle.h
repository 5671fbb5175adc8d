// Makes a finished updater: a stub program plus the packed game, its CRC and
// its icon as resources.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <string>

#include "tools/yppack/Container.h"
#include "tools/yppack/MatchFinder.h"

namespace yppack {

struct BundleReport {
    size_t containerSize = 0;
    uint32_t crc = 0;
    size_t iconImages = 0;  // 0: the game has no icon, or none was usable
    std::string iconNote;   // why no icon was copied, when it was not
};

// A stub Bundle will not rewrite; what() names it "the stub", Reason() says
// why without that.
class StubRefused : public Failure {
public:
    explicit StubRefused(const std::string& reason);
    const std::string& Reason() const { return reason_; }

private:
    std::string reason_;
};

// STUB's bytes with RCDATA "EXE" (the container of game) and "EXECRC" (CRC-32
// of game, 4 bytes little-endian) in place of any it held, and game's first
// icon group in place of the stub's icons. The result has passed CheckBundle.
// Throws StubRefused for a stub it cannot rewrite safely, Failure for a game
// too large for the container.
Bytes Bundle(const Bytes& stub, const Bytes& game, BundleReport& report, const Progress& progress = {});

// Bundle for a game packed already: container is the EXE resource as is
// (the read-back still checks that it decodes to game).
Bytes BundlePacked(const Bytes& stub, const Bytes& game, Bytes container, BundleReport& report);

// Checks bundled's layout and finds EXE and EXECRC in it as the loader would
// (LoaderView.h); throws Failure unless EXECRC holds exactly game's CRC and
// EXE decodes to game's bytes.
void CheckBundle(const Bytes& bundled, const Bytes& game);

}  // namespace yppack
