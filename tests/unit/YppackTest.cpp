// The packer: exact longest matches, round trips through the real decoder,
// the smallest codings, and the command line refusing bad input.
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <string.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

#include "tools/yppack/Container.h"
#include "tools/yppack/FileIo.h"
#include "tools/yppack/MatchFinder.h"
#include "tools/yppack/Packer.h"
#include "tests/unit/YppackCli.h"

namespace {

using yppack::Bytes;
namespace fs = std::filesystem;

// Inputs that trouble match finders: long runs, short periods, repeats a
// whole ring back, matches reaching into the zeros before the start.
std::vector<std::pair<std::string, Bytes>> AwkwardInputs() {
    std::mt19937 rng(1);
    std::vector<std::pair<std::string, Bytes>> inputs;
    auto add = [&](const std::string& name, Bytes b) { inputs.emplace_back(name, std::move(b)); };
    for (size_t n : {0, 1, 2, 3, 4, 130}) add("zeros " + std::to_string(n), Bytes(n, 0));
    add("ones 130", Bytes(130, 1));
    Bytes runs;
    while (runs.size() < 20000) {
        uint8_t b = rng() % 3 == 0 ? static_cast<uint8_t>(rng()) : 0;
        runs.insert(runs.end(), rng() % 300, b);
        runs.push_back(static_cast<uint8_t>(rng()));
    }
    add("runs", runs);
    Bytes periodic;
    while (periodic.size() < 20000) {
        size_t period = 1 + rng() % 9;
        Bytes unit(period);
        for (auto& x : unit) x = static_cast<uint8_t>(rng() % 4);
        for (size_t k = rng() % 400; k-- > 0;) periodic.insert(periodic.end(), unit.begin(), unit.end());
    }
    add("periodic", periodic);
    Bytes smallAlphabet(12000);
    for (auto& x : smallAlphabet) x = static_cast<uint8_t>(rng() % 2);
    add("two symbols", smallAlphabet);
    Bytes ringBack(16384 + 3000);
    for (size_t i = 0; i < ringBack.size(); ++i) {
        ringBack[i] = i >= 16384 && i % 700 < 500 ? ringBack[i - 16384] : static_cast<uint8_t>(rng());
    }
    add("repeats a ring back", ringBack);
    Bytes zeroLed(500);
    for (size_t i = 0; i < zeroLed.size(); ++i) zeroLed[i] = i < 200 || i % 9 == 0 ? 0 : static_cast<uint8_t>(rng());
    add("zeros first", zeroLed);
    return inputs;
}

uint32_t MatchLength(const Bytes& data, size_t i, uint16_t code) {
    uint32_t distance = code == 0 ? yppack::kFullRingDistance : code;
    uint32_t n = 0;
    while (i + n < data.size() && n < 128) {
        size_t from = i + n;
        uint8_t source = from >= distance ? data[from - distance] : 0;
        if (source != data[i + n]) break;
        ++n;
    }
    return i + n == data.size() ? 128 : n;  // reaching the end counts as any length
}

TEST(MatchFinder, FindsTheSameLongestMatchesAsTryingEveryDistance) {
    for (const auto& [name, data] : AwkwardInputs()) {
        auto fast = yppack::FindLongestMatches(data.data(), data.size());
        auto slow = yppack::FindLongestMatchesSlowly(data.data(), data.size());
        ASSERT_EQ(fast.size(), data.size()) << name;
        size_t wrong = 0;
        for (size_t i = 0; i < data.size(); ++i) {
            bool ok = fast[i].lengthIndex == slow[i].lengthIndex;
            if (ok && fast[i].lengthIndex != yppack::LongestMatch::kNone) {
                ok = MatchLength(data, i, fast[i].distanceCode) >= LengthTable[fast[i].lengthIndex];
            }
            if (!ok && wrong++ < 5) ADD_FAILURE() << name << " at " << i;
        }
        EXPECT_EQ(wrong, 0u) << name;
    }
}

Bytes RandomBytes(size_t n, uint32_t seed, int alphabet = 256) {
    std::mt19937 rng(seed);
    Bytes b(n);
    for (auto& x : b) x = static_cast<uint8_t>(rng() % alphabet);
    return b;
}

void ExpectRoundTrip(const Bytes& data, const std::string& name) {
    Bytes container = yppack::Pack(data.data(), data.size());
    yppack::Header h = yppack::ReadHeader(container);
    EXPECT_EQ(h.magic[0], 'Y') << name;
    EXPECT_EQ(h.magic[1], 'P') << name;
    EXPECT_EQ(h.unpackedSize, data.size()) << name;
    EXPECT_EQ(h.packedSize + 8, container.size()) << name;
    EXPECT_TRUE(yppack::Unpack(container) == data) << name;
}

TEST(Yppack, RoundTripsAcrossBlockAndRingBoundaries) {
    for (size_t n : {0, 1, 2, 3, 7, 8, 9, 127, 128, 129, 16383, 16384, 16385, 32768, 70001}) {
        ExpectRoundTrip(RandomBytes(n, static_cast<uint32_t>(n)), "random " + std::to_string(n));
        ExpectRoundTrip(RandomBytes(n, static_cast<uint32_t>(n), 3), "3 symbols " + std::to_string(n));
    }
    for (const auto& [name, data] : AwkwardInputs()) ExpectRoundTrip(data, name);
}

TEST(Yppack, RoundTripsRealExecutables) {
    const char* files[] = {
        "/usr/lib/i386-linux-gnu/wine/i386-windows/kernel32.dll",
        "/usr/lib/i386-linux-gnu/wine/i386-windows/notepad.exe",
        "/usr/lib/i386-linux-gnu/wine/i386-windows/user32.dll",
        "/usr/lib/x86_64-linux-gnu/wine/x86_64-windows/comctl32.dll",
        "/usr/lib/x86_64-linux-gnu/wine/x86_64-windows/winecfg.exe",
    };
    int found = 0;
    for (const char* file : files) {
        if (!fs::exists(file)) continue;
        ++found;
        Bytes data = yppack::ReadWholeFile(file, kMaxUnpackedSize);
        ExpectRoundTrip(data, file);
    }
    if (found == 0) GTEST_SKIP() << "no Wine executables installed";
}

TEST(Yppack, WritesTheSmallestCodings) {
    struct Case {
        const char* name;
        Bytes data;
        size_t containerSize;
    } cases[] = {
        // One group is decoded even when nothing is owed.
        {"empty", {}, 8 + 9},
        {"one byte", {'x'}, 8 + 9},
        // Zeros match the ring's zeros from the first byte on.
        {"1024 zeros: eight 128-byte matches", Bytes(1024, 0), 8 + 1 + 16},
        // Two literals beat a match that runs past the end: padding is free.
        {"two zeros", Bytes(2, 0), 8 + 9},
        // Eight zeros then noise: one match saves a whole group of literals.
        {"a match saves a group", [] { Bytes b(8 + 9, 0); for (size_t i = 8; i < b.size(); ++i) b[i] = static_cast<uint8_t>(i * 37); return b; }(), 8 + 9 + 9 + 1},
        // A literal then one match of 128, and padding.
        {"129 equal bytes", Bytes(129, 'a'), 8 + 1 + 1 + 2 + 6},
    };
    for (const Case& c : cases) {
        Bytes container = yppack::Pack(c.data.data(), c.data.size());
        EXPECT_EQ(container.size(), c.containerSize) << c.name;
        EXPECT_TRUE(yppack::Unpack(container) == c.data) << c.name;
    }
}

TEST(Yppack, RefusesWhatAContainerCannotHold) {
    Bytes tooLong(kMaxUnpackedSize + 1, 0);
    EXPECT_THROW(yppack::Pack(tooLong.data(), tooLong.size()), yppack::Failure);
    // Noise codes at 9 bits a byte: 15 MiB of it overflows packedSize.
    Bytes noise = RandomBytes(15u << 20, 4);
    EXPECT_THROW(yppack::Pack(noise.data(), noise.size()), yppack::Failure);
}

#ifdef YPPACK_EXE_PATH
TEST_F(YppackCli, PacksAndUnpacks) {
    Bytes data = RandomBytes(50000, 8, 5);
    Put(Path("in"), data);
    ASSERT_EQ(Run("pack " + Path("in") + " " + Path("in.yp")), 0);
    ASSERT_EQ(Run("unpack " + Path("in.yp") + " " + Path("out")), 0);
    EXPECT_EQ(Stderr(), "") << "no progress dots from the decoder";
    EXPECT_TRUE(Get(Path("out")) == data);
    EXPECT_EQ(Run("info " + Path("in.yp")), 0);
    EXPECT_EQ(FileCount(), 4u);  // in, in.yp, out and the captured stderr
}

TEST_F(YppackCli, OutMayBeTheInputFile) {
    Bytes data = RandomBytes(70000, 12, 7);
    Put(Path("file"), data);
    ASSERT_EQ(Run("pack " + Path("file") + " " + Path("file")), 0);
    Bytes container = Get(Path("file"));
    EXPECT_TRUE(yppack::Unpack(container) == data);
    ASSERT_EQ(Run("unpack " + Path("file") + " " + Path("file")), 0);
    EXPECT_TRUE(Get(Path("file")) == data);
    EXPECT_EQ(FileCount(), 2u);  // the file and the captured stderr
}

TEST_F(YppackCli, RefusesBadInputAndLeavesOutAsItWas) {
    Put(Path("big"), Bytes(kMaxUnpackedSize + 1, 0));
    Bytes good = RandomBytes(3000, 2, 4);
    Put(Path("good"), good);
    Bytes container = yppack::Pack(good.data(), good.size());
    Put(Path("truncated.yp"), Bytes(container.begin(), container.end() - 1));
    Put(Path("out"), {'o', 'l', 'd'});
    fs::create_directories(Path("folder"));
    ASSERT_EQ(mkfifo(Path("fifo").c_str(), 0644), 0);
    fs::create_symlink("fifo", Path("fifo-link"));
    struct Case {
        const char* name;
        std::string args;
        std::string named;  // what the message names
        std::string limits = "";
    } cases[] = {
        {"missing input", "pack " + Path("none") + " " + Path("out"), Path("none")},
        {"input too long", "pack " + Path("big") + " " + Path("out"), Path("big")},
        {"input is a folder", "pack " + Path("folder") + " " + Path("out"), Path("folder")},
        {"damaged container", "unpack " + Path("truncated.yp") + " " + Path("out"), ""},
        {"output folder missing", "pack " + Path("good") + " " + Path("nowhere/out"), Path("nowhere/out")},
        {"output is a folder", "pack " + Path("good") + " " + Path("folder"), Path("folder") + " is a folder"},
        // A FIFO was replaced by a regular file, or, followed, hung the packer.
        {"output is a FIFO", "pack " + Path("good") + " " + Path("fifo"), Path("fifo") + " is a FIFO"},
        {"output links to a FIFO", "pack " + Path("good") + " " + Path("fifo-link"), Path("fifo-link")},
        // The disk fills up mid-write: the error named the temporary file and
        // OUT must stay whole.
        {"write fails", "pack " + Path("good") + " " + Path("out"), "cannot write " + Path("out") + ":",
         "trap '' XFSZ; ulimit -f 1; "},
        {"wrong arguments", "pack " + Path("good"), "usage"},
    };
    for (const Case& c : cases) {
        EXPECT_NE(Run(c.args, c.limits), 0) << c.name;
        EXPECT_FALSE(Stderr().empty()) << c.name;
        EXPECT_NE(Stderr().find(c.named), std::string::npos) << c.name << ": " << Stderr();
        EXPECT_EQ(Stderr().find(".yppack-"), std::string::npos) << c.name << ": " << Stderr();
        EXPECT_EQ(Get(Path("out")), Bytes({'o', 'l', 'd'})) << c.name;
        EXPECT_EQ(FileCount(), 8u) << c.name;  // nothing new but stderr, no temporary file
        EXPECT_TRUE(fs::is_directory(Path("folder"))) << c.name;
        EXPECT_TRUE(fs::is_fifo(fs::symlink_status(Path("fifo")))) << c.name;
        EXPECT_TRUE(fs::is_symlink(Path("fifo-link"))) << c.name;
    }
}

const char* const kPlantedNames[] = {".yppack-planted", ".yppack-dangling", ".yppack-free"};
int plantedNameCalls = 0;
std::string NextPlantedName() { return kPlantedNames[plantedNameCalls++ % 3]; }

// A link planted at the temporary name was followed: the file it pointed to
// (any file, for a packer run as root) was overwritten with the container.
TEST_F(YppackCli, LinkPlantedAtTheTemporaryNameIsNeverFollowed) {
    Put(Path("victim"), {'v'});
    fs::create_symlink(Path("victim"), Path(".yppack-planted"));
    fs::create_symlink(Path("created-elsewhere"), Path(".yppack-dangling"));
    plantedNameCalls = 0;
    yppack::TempNamer previous = yppack::SetTempNamer(NextPlantedName);
    Bytes data = RandomBytes(1000, 5);
    EXPECT_NO_THROW(yppack::WriteWholeFile(Path("out"), data));
    yppack::SetTempNamer(previous);
    EXPECT_EQ(plantedNameCalls, 3);
    EXPECT_TRUE(Get(Path("out")) == data);
    EXPECT_EQ(Get(Path("victim")), Bytes({'v'}));
    EXPECT_FALSE(fs::exists(Path("created-elsewhere")));
    EXPECT_EQ(fs::read_symlink(Path(".yppack-planted")), Path("victim"));
    EXPECT_EQ(FileCount(), 4u);  // out, victim, the two links
}

// Packing into a link replaced the link with a regular file, left the file it
// pointed to old, and said "verified".
TEST_F(YppackCli, OutThatIsALinkHasTheFileItPointsToReplaced) {
    Bytes data = RandomBytes(20000, 9, 6);
    Put(Path("in"), data);
    fs::create_directories(Path("sub"));
    Put(Path("target"), {'o', 'l', 'd'});
    // A chain of relative links, each read from its own folder.
    fs::create_symlink("sub/hop", Path("link"));
    fs::create_symlink("../target", Path("sub/hop"));
    ASSERT_EQ(Run("pack " + Path("in") + " " + Path("link")), 0) << Stderr();
    EXPECT_TRUE(fs::is_symlink(Path("link")));
    EXPECT_TRUE(fs::is_symlink(Path("sub/hop")));
    ASSERT_EQ(Run("unpack " + Path("target") + " " + Path("plain")), 0) << Stderr();
    EXPECT_TRUE(Get(Path("plain")) == data);
    // A link to nothing created a file wherever it pointed; yppack.exe refused.
    fs::create_symlink("sub/new", Path("dangling"));
    EXPECT_NE(Run("unpack " + Path("link") + " " + Path("dangling")), 0);
    EXPECT_NE(Stderr().find(Path("dangling") + " is a link to " + Path("sub/new") + ", which does not exist"),
              std::string::npos)
        << Stderr();
    EXPECT_TRUE(fs::is_symlink(Path("dangling")));
    EXPECT_EQ(FileCount(), 7u);  // in, sub, target, link, plain, dangling, stderr
    EXPECT_EQ(std::distance(fs::directory_iterator(Path("sub")), fs::directory_iterator()), 1);
}

// As root, yppack followed a link in /tmp that another user had planted to
// a root-owned file, which the system itself refuses to follow there
// (fs.protected_symlinks), and replaced that file; it replaced a file
// planted there (fs.protected_regular), giving root's output its mode 0666.
TEST_F(YppackCli, LinkOrFileInAStickyFolderIsUsedOnlyWhereTheSystemWould) {
    if (geteuid() != 0) GTEST_SKIP() << "links owned by another user need root";
    constexpr uid_t kOther = 54321;
    Bytes data = RandomBytes(3000, 5, 4);
    Put(Path("in"), data);
    Put(Path("victim"), {'v'});
    fs::create_directories(Path("sticky"));
    fs::permissions(Path("sticky"), fs::perms(01777));
    struct Case {
        const char* name;
        uid_t owner;
        uid_t folderOwner;
        bool followed;
        bool file = false;  // a regular file at OUT, not a link to the victim
    } cases[] = {
        {"another user's link in root's sticky folder", kOther, 0, false},
        {"this user's link", 0, 0, true},
        {"the folder owner's link", kOther, kOther, true},
        {"another user's file in root's sticky folder", kOther, 0, false, true},
        {"the folder owner's file", kOther, kOther, true, true},
    };
    for (const Case& c : cases) {
        Put(Path("victim"), {'v'});
        if (c.file) {
            fs::rename(Path("victim"), Path("sticky/link"));
            fs::permissions(Path("sticky/link"), fs::perms(0666));
            fs::create_symlink(Path("sticky/link"), Path("victim"));
        } else {
            fs::create_symlink(Path("victim"), Path("sticky/link"));
        }
        ASSERT_EQ(lchown(Path("sticky/link").c_str(), c.owner, c.owner), 0) << c.name;
        ASSERT_EQ(chown(Path("sticky").c_str(), c.folderOwner, c.folderOwner), 0) << c.name;
        int status = Run("pack " + Path("in") + " " + Path("sticky/link"));
        EXPECT_EQ(fs::is_symlink(Path("sticky/link")), !c.file) << c.name;
        if (c.followed) {
            EXPECT_EQ(status, 0) << c.name << ": " << Stderr();
            EXPECT_TRUE(yppack::Unpack(Get(Path("victim"))) == data) << c.name;
        } else {
            EXPECT_NE(status, 0) << c.name;
            EXPECT_NE(Stderr().find(c.file ? "not replaced, as the system would not open it for writing"
                                           : "not followed, as the system would not follow it"),
                      std::string::npos)
                << c.name << ": " << Stderr();
            EXPECT_EQ(Get(Path("victim")), Bytes({'v'})) << c.name;
        }
        fs::remove(Path("sticky/link"));
        fs::remove(Path("victim"));
        EXPECT_TRUE(fs::is_empty(Path("sticky"))) << c.name << ": a temporary file is left";
    }
}

// Names of 245 bytes and more failed: the temporary name added 12 bytes.
TEST_F(YppackCli, OutNamesUpToTheLongestAFolderHoldsWork) {
    Bytes data = RandomBytes(3000, 3, 4);
    Put(Path("in"), data);
    for (size_t length : {245, 250, 255}) {
        std::string out = Path(std::string(length, 'n'));
        ASSERT_EQ(Run("pack " + Path("in") + " " + out), 0) << length << ": " << Stderr();
        ASSERT_EQ(Run("unpack " + out + " " + out), 0) << length << ": " << Stderr();
        EXPECT_TRUE(Get(out) == data) << length;
        fs::remove(out);
    }
    EXPECT_EQ(FileCount(), 2u);  // in and stderr
}

// A read-only OUT became 0644. It is still replaced, as a rename over it
// would be, and stays read-only; set-id bits are not carried to the new
// file. A new OUT gets what open() would give it.
TEST_F(YppackCli, OutKeepsItsPermissionBitsAndANewOneFollowsTheUmask) {
    Bytes data = RandomBytes(3000, 4, 4);
    Put(Path("in"), data);
    for (auto [mode, kept] : {std::pair{0600, 0600}, {0444, 0444}, {0750, 0750}, {04755, 0755}}) {
        Put(Path("out"), {'o', 'l', 'd'});
        ASSERT_EQ(chmod(Path("out").c_str(), mode), 0);
        ASSERT_EQ(Run("pack " + Path("in") + " " + Path("out")), 0) << Stderr();
        EXPECT_EQ(Mode(Path("out")), fs::perms(kept)) << std::oct << mode;
        ASSERT_EQ(Run("unpack " + Path("out") + " " + Path("out")), 0) << Stderr();
        EXPECT_EQ(Mode(Path("out")), fs::perms(kept)) << std::oct << mode;
        EXPECT_TRUE(Get(Path("out")) == data);
        fs::remove(Path("out"));
    }
    struct Case {
        const char* umask;
        fs::perms mode;
    } fresh[] = {{"022", fs::perms(0644)}, {"077", fs::perms(0600)}, {"0", fs::perms(0666)}};
    for (const Case& c : fresh) {
        ASSERT_EQ(Run("pack " + Path("in") + " " + Path("out"), std::string("umask ") + c.umask + "; "), 0) << Stderr();
        EXPECT_EQ(Mode(Path("out")), c.mode) << "umask " << c.umask;
        fs::remove(Path("out"));
    }
}

// The temporary file was readable by others until it had its mode, and
// Ctrl-C while it was there left .yppack-* behind, as a closed terminal
// (SIGHUP) or Ctrl-\ still did.
TEST_F(YppackCli, TemporaryFileIsPrivateAndGoesOnInterrupt) {
    {
        yppack::TempFile temp(dir_.string(), Path("out"));
        EXPECT_EQ(Mode(temp.Path()), fs::perms::owner_read | fs::perms::owner_write);
    }
    EXPECT_EQ(FileCount(), 0u);
    for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) {
        EXPECT_EXIT(
            {
                const rlimit noCore{};  // SIGQUIT dumps no core here
                setrlimit(RLIMIT_CORE, &noCore);
                yppack::TempFile temp(dir_.string(), Path("out"));
                temp.Write({1, 2, 3}, 0600);
                raise(sig);
            },
            testing::KilledBySignal(sig), "")
            << sig;
        EXPECT_EQ(FileCount(), 0u) << sig;
    }
}

// A full disk under standard output passed for success.
TEST_F(YppackCli, HelpAndVersionGoToStandardOutput) {
    struct Case {
        const char* args;
        int status;
        const char* out;  // how standard output starts
        const char* err;  // how standard error starts
        bool full = false;  // standard output is /dev/full
    } cases[] = {
        {"--help", 0, "usage: yppack pack IN OUT", ""},
        {"--version", 0, "yppack 1.", ""},
        {"", 2, "", "usage: yppack pack IN OUT"},
        {"--bogus", 2, "", "usage: yppack pack IN OUT"},
        {"--help", 1, "", "yppack: cannot write to standard output: No space left on device", true},
        {"--version", 1, "", "yppack: cannot write to standard output", true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Run(c.args, "", c.full ? "/dev/full" : Path("stdout")), c.status) << c.args;
        Bytes out = c.full ? Bytes() : Get(Path("stdout"));
        EXPECT_EQ(std::string(out.begin(), out.end()).substr(0, strlen(c.out)), c.out) << c.args;
        EXPECT_EQ(Stderr().substr(0, strlen(c.err)), c.err) << c.args;
        EXPECT_EQ(c.out[0] != 0, !out.empty()) << c.args;
        EXPECT_EQ(c.err[0] != 0, !Stderr().empty()) << c.args;
    }
}
#endif

}  // namespace
