// What every platform's file writer shares: reads, temporary names, the list an interrupt removes.
#include "tools/yppack/FileIo.h"

#include <errno.h>
#include <signal.h>
#include <stdio.h>
#include <string.h>
#include <time.h>

#include <atomic>
#include <memory>
#include <random>

#ifdef _WIN32
#include <process.h>
#define getpid _getpid
#else
#include <unistd.h>
#endif

namespace yppack {

namespace {

struct FileCloser {
    void operator()(FILE* f) const {
        if (f) fclose(f);
    }
};

// Temporary names are short so that they fit beside an OUT whose own name
// already takes the whole 255 bytes a folder entry may have, and random so
// that two runs writing one OUT never pick the same one.
constexpr const char kTempPrefix[] = ".yppack-";
constexpr int kTempNameLetters = 8;

std::string RandomTempName() {
    static std::mt19937_64 rng = [] {
        // random_device may be deterministic on old mingw: mix in more.
        uint64_t seed = static_cast<uint64_t>(time(nullptr)) ^ (static_cast<uint64_t>(getpid()) << 32);
        try {
            std::random_device device;
            seed ^= (static_cast<uint64_t>(device()) << 16) ^ device();
        } catch (...) {
        }
        return std::mt19937_64(seed);
    }();
    static const char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::string name = kTempPrefix;
    for (int i = 0; i < kTempNameLetters; ++i) name += kLetters[rng() % (sizeof kLetters - 1)];
    return name;
}

TempNamer tempName = RandomTempName;

// A temporary file, a signing folder and its few files at most.
constexpr int kListSlots = 16;
constexpr size_t kListPathSize = 4096;
struct ListSlot {
    volatile sig_atomic_t used;
    bool folder;
    char path[kListPathSize];
};
ListSlot slots[kListSlots];
void (*volatile firstStep)() = nullptr;

}  // namespace

Bytes ReadWholeFile(const std::string& path, size_t maxSize) {
    FILE* f = fopen(path.c_str(), "rb");
    if (!f) throw Failure("cannot open " + path + ": " + strerror(errno));
    std::unique_ptr<FILE, FileCloser> owner(f);
    Bytes bytes;
    uint8_t chunk[1 << 16];
    for (;;) {
        size_t got = fread(chunk, 1, sizeof chunk, f);
        bytes.insert(bytes.end(), chunk, chunk + got);
        if (bytes.size() > maxSize) throw FileTooLong(path + " is longer than " + std::to_string(maxSize) + " bytes");
        if (got < sizeof chunk) break;
    }
    if (ferror(f)) throw Failure("cannot read " + path + ": " + strerror(errno));
    return bytes;
}

TempNamer SetTempNamer(TempNamer namer) {
    TempNamer previous = tempName;
    tempName = namer;
    return previous;
}

std::string TempFile::NextName() { return tempName(); }

void TempFile::Kept() {
    path_.clear();
    InterruptRemoval::Unlist(slot_);
    slot_ = -1;
}

int InterruptRemoval::List(const std::string& path, bool folder) {
    InstallHandler();
    if (path.size() >= kListPathSize) throw Failure("cannot write " + path + ": its name is too long");
    InterruptsHeld held;
    for (int i = 0; i < kListSlots; ++i) {
        if (slots[i].used) continue;
        memcpy(slots[i].path, path.c_str(), path.size() + 1);
        slots[i].folder = folder;
        // The handler must never see the flag before the path.
        std::atomic_signal_fence(std::memory_order_seq_cst);
        slots[i].used = 1;
        return i;
    }
    throw Failure("internal error: more temporary files at once than an interrupt can remove");
}

void InterruptRemoval::Unlist(int slot) {
    if (slot >= 0 && slot < kListSlots) slots[slot].used = 0;
}

void InterruptRemoval::SetFirstStep(void (*step)()) { firstStep = step; }

void InterruptRemoval::RemoveAll() {
    if (firstStep) firstStep();
    for (bool folders : {false, true}) {
        for (ListSlot& slot : slots) {
            if (slot.used && slot.folder == folders) RemovePath(slot.path, slot.folder);
        }
    }
}

}  // namespace yppack
