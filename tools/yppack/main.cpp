// yppack: packs a file into a payload container, unpacks one, or describes one.
#include <stdio.h>

#include <string>

#include "tools/yppack/Container.h"
#include "tools/yppack/FileIo.h"
#include "tools/yppack/Packer.h"

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

int Usage() {
    fputs("usage: yppack pack IN OUT     pack IN into the container OUT\n"
          "       yppack unpack IN OUT   decode the container IN into OUT\n"
          "       yppack info IN         show the container's header\n",
          stderr);
    return 2;
}

double Percent(size_t part, size_t whole) {
    return whole ? 100.0 * static_cast<double>(part) / static_cast<double>(whole) : 0.0;
}

int PackFile(const std::string& in, const std::string& out) {
    Bytes data = ReadWholeFile(in, kMaxUnpackedSize);
    Progress progress;
    if (data.size() > kProgressMinSize && isatty(2)) {
        progress = [](double f) { fprintf(stderr, "\ryppack: packing %3d%%", static_cast<int>(f * 100)); };
    }
    Bytes container = Pack(data.data(), data.size(), progress);
    if (progress) fputs("\n", stderr);
    {
        QuietStderr quiet;
        if (Unpack(container) != data) {
            throw Failure("internal error: the container does not decode to " + in);
        }
    }
    WriteWholeFile(out, container);
    printf("%s: %zu -> %zu bytes (%.2f%%), verified\n", out.c_str(), data.size(),
           container.size(), Percent(container.size(), data.size()));
    return 0;
}

int UnpackFile(const std::string& in, const std::string& out) {
    Bytes container = ReadWholeFile(in, kMaxContainerSize);
    Bytes data;
    {
        QuietStderr quiet;
        data = Unpack(container);
    }
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

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return Usage();
    const std::string command = argv[1];
    try {
        if (command == "pack" && argc == 4) return PackFile(argv[2], argv[3]);
        if (command == "unpack" && argc == 4) return UnpackFile(argv[2], argv[3]);
        if (command == "info" && argc == 3) return Info(argv[2]);
    } catch (const Failure& e) {
        fprintf(stderr, "yppack: %s\n", e.what());
        return 1;
    } catch (const std::exception& e) {
        fprintf(stderr, "yppack: %s\n", e.what());
        return 1;
    }
    return Usage();
}
