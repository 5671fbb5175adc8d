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

// STUB's bytes with RCDATA "EXE" (the container of game) and "EXECRC" (CRC-32
// of game, 4 bytes little-endian) in place of any it held, and game's first
// icon group added. The result has been read back and decoded to game.
// Throws Failure, naming the reason, for a stub it cannot rewrite safely or a
// game too large for the container.
Bytes Bundle(const Bytes& stub, const Bytes& game, BundleReport& report, const Progress& progress = {});

// Reads bundled's resources back and decodes EXE; throws Failure unless it
// gives game's bytes and EXECRC holds their CRC.
void CheckBundle(const Bytes& bundled, const Bytes& game);

}  // namespace yppack
