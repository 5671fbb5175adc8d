// yppack: packs a game into a payload container, bundles it into the updater stub, unpacks or describes one.
#include <errno.h>
#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

#include "tools/yppack/Bundle.h"
#include "tools/yppack/Container.h"
#include "tools/yppack/FileIo.h"
#include "tools/yppack/Packer.h"
#include "tools/yppack/Sign.h"

#ifdef _WIN32
#include <io.h>
#define isatty _isatty
#else
#include <unistd.h>
#endif

namespace {

using namespace yppack;

// Below this, packing is quick enough to need no progress line.
constexpr size_t kProgressMinSize = 4u << 20;
// A resource may carry padding after its container, but not without bound.
constexpr size_t kMaxContainerSize = 64u << 20;

constexpr const char kUsage[] =
    "usage: yppack pack IN OUT     pack IN into the container OUT\n"
    "       yppack unpack IN OUT   decode the container IN into OUT\n"
    "       yppack info IN         show the container's header\n"
    "       yppack bundle [--sign KEY.p12 [--pass-file FILE] [--timestamp URL]] STUB GAME OUT\n"
    "                              write the updater OUT: the program STUB carrying GAME\n"
    "       yppack --help | --version\n";

// Asked for: standard output, success. A mistake: standard error, status 2.
int Usage(bool asked = false) {
    fputs(kUsage, asked ? stdout : stderr);
    return asked ? 0 : 2;
}

double Percent(size_t part, size_t whole) {
    return whole ? 100.0 * static_cast<double>(part) / static_cast<double>(whole) : 0.0;
}

Progress PackingProgress(size_t size) {
    if (size <= kProgressMinSize || !isatty(2)) return {};
    return [](double f) { fprintf(stderr, "\ryppack: packing %3d%%", static_cast<int>(f * 100)); };
}

int PackFile(const std::string& in, const std::string& out) {
    Bytes data = ReadWholeFile(in, kMaxUnpackedSize);
    Progress progress = PackingProgress(data.size());
    Bytes container = Pack(data.data(), data.size(), progress);
    if (progress) fputs("\n", stderr);
    if (Unpack(container) != data) throw Failure("internal error: the container does not decode to " + in);
    WriteWholeFile(out, container);
    printf("%s: %zu -> %zu bytes (%.2f%%), verified\n", out.c_str(), data.size(),
           container.size(), Percent(container.size(), data.size()));
    return 0;
}

int UnpackFile(const std::string& in, const std::string& out) {
    Bytes container = ReadWholeFile(in, kMaxContainerSize);
    Bytes data = Unpack(container);
    WriteWholeFile(out, data);
    printf("%s: %zu bytes\n", out.c_str(), data.size());
    return 0;
}

int Info(const std::string& in) {
    Bytes container = ReadWholeFile(in, kMaxContainerSize);
    Header h = ReadHeader(container);
    bool magicOk = h.magic[0] == kMagic[0] && h.magic[1] == kMagic[1];
    printf("magic         %02X %02X%s\n", h.magic[0], h.magic[1], magicOk ? " (YP)" : " (not YP)");
    printf("unpackedSize  %u\n", h.unpackedSize);
    printf("packedSize    %u\n", h.packedSize);
    printf("file size     %zu%s\n", container.size(),
           h.packedSize + kContainerHeaderSize == container.size()
               ? ""
               : h.packedSize + kContainerHeaderSize > container.size() ? " (truncated)"
                                                                         : " (trailing bytes)");
    printf("ratio         %.2f%% of the unpacked size\n", Percent(container.size(), h.unpackedSize));
    return 0;
}

// A stub is a small program; anything near this size is a mistake.
constexpr size_t kMaxStubSize = 64u << 20;

int BundleFiles(int argc, char** argv) {
    SignOptions sign;
    bool signing = false;
    std::vector<std::string> files;
    for (int i = 2; i < argc; ++i) {
        std::string arg = argv[i];
        bool hasValue = i + 1 < argc;
        if (arg == "--sign" && hasValue) {
            signing = true;
            sign.key = argv[++i];
        } else if (arg == "--pass-file" && hasValue) {
            sign.passFile = argv[++i];
        } else if (arg == "--timestamp" && hasValue) {
            sign.timestampUrl = argv[++i];
        } else if (arg.size() > 1 && arg[0] == '-') {
            return Usage();
        } else {
            files.push_back(arg);
        }
    }
    if (files.size() != 3 || (!signing && (!sign.passFile.empty() || !sign.timestampUrl.empty()))) return Usage();
    const std::string& out = files[2];
#ifdef _WIN32
    if (signing) SignBundle({}, sign);  // says it is not supported, before any work
#endif
    Bytes stub = ReadWholeFile(files[0], kMaxStubSize);
    Bytes game;
    try {
        game = ReadWholeFile(files[1], kMaxUnpackedSize);
    } catch (const FileTooLong& e) {
        throw Failure(std::string(e.what()) + ", the most a container holds");
    }
    BundleReport report;
    Progress progress = PackingProgress(game.size());
    Bytes bundled;
    try {
        bundled = Bundle(stub, game, report, progress);
    } catch (const StubRefused& e) {
        throw Failure("the stub " + files[0] + ": " + e.Reason());
    }
    if (progress) fputs("\n", stderr);
    if (signing) {
        bundled = SignBundle(bundled, sign);
        CheckBundle(bundled, game);
    }
    WriteWholeFile(out, bundled);
    printf("%s: %zu bytes: %s with %s packed to %zu bytes (CRC-32 %08X), %s%s, verified%s\n", out.c_str(),
           bundled.size(), files[0].c_str(), files[1].c_str(), report.containerSize, report.crc,
           report.iconImages ? "its icon" : "no icon: ",
           report.iconImages ? "" : report.iconNote.c_str(), signing ? ", signed" : "");
    return 0;
}

int Run(int argc, char** argv) {
    if (argc < 2) return Usage();
    const std::string command = argv[1];
    if (command == "--help" && argc == 2) return Usage(true);
    if (command == "--version" && argc == 2) {
        printf("yppack %s\n", YPPACK_VERSION);
        return 0;
    }
    try {
        if (command == "pack" && argc == 4) return PackFile(argv[2], argv[3]);
        if (command == "unpack" && argc == 4) return UnpackFile(argv[2], argv[3]);
        if (command == "info" && argc == 3) return Info(argv[2]);
        if (command == "bundle") return BundleFiles(argc, argv);
    } catch (const Failure& e) {
        fprintf(stderr, "yppack: %s\n", e.what());
        return 1;
    } catch (const std::exception& e) {
        fprintf(stderr, "yppack: %s\n", e.what());
        return 1;
    }
    return Usage();
}

// What was printed must reach standard output: a full disk there is an
// error, as it is for OUT, not a success with the report lost.
int Finish(int status) {
    errno = 0;
    if (fflush(stdout) == 0 && !ferror(stdout)) return status;
    fprintf(stderr, "yppack: cannot write to standard output%s%s\n", errno ? ": " : "", errno ? strerror(errno) : "");
    return status == 0 ? 1 : status;
}

}  // namespace

int main(int argc, char** argv) { return Finish(Run(argc, argv)); }
