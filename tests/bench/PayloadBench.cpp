// Prints decoder and packer speed and packed sizes of real Windows
// executables beside gzip -9 and xz -9; fails if any file does not come back
// unchanged from its container.
#include <stdio.h>
#include <string.h>

#include <chrono>
#include <string>
#include <vector>

#include "payload/PayloadDecoder.h"
#include "tests/support/ByteStreams.h"
#include "tests/support/ReferenceDecoder.h"
#include "tools/yppack/Container.h"
#include "tools/yppack/FileIo.h"
#include "tools/yppack/Packer.h"

namespace {

using yppack::Bytes;
using Clock = std::chrono::steady_clock;

// 32-bit Wine builds first (the game's executable is one), largest included.
const char* const kDefaultCorpus[] = {
    "/usr/lib/i386-linux-gnu/wine/i386-windows/shell32.dll",
    "/usr/lib/i386-linux-gnu/wine/i386-windows/msxml3.dll",
    "/usr/lib/i386-linux-gnu/wine/i386-windows/windowscodecs.dll",
    "/usr/lib/i386-linux-gnu/wine/i386-windows/kernelbase.dll",
    "/usr/lib/i386-linux-gnu/wine/i386-windows/user32.dll",
    "/usr/lib/i386-linux-gnu/wine/i386-windows/comctl32.dll",
    "/usr/lib/i386-linux-gnu/wine/i386-windows/ntdll.dll",
    "/usr/lib/i386-linux-gnu/wine/i386-windows/msvcrt.dll",
    "/usr/lib/i386-linux-gnu/wine/i386-windows/gdi32.dll",
    "/usr/lib/i386-linux-gnu/wine/i386-windows/kernel32.dll",
    "/usr/lib/i386-linux-gnu/wine/i386-windows/cmd.exe",
    "/usr/lib/i386-linux-gnu/wine/i386-windows/regedit.exe",
    "/usr/lib/i386-linux-gnu/wine/i386-windows/winecfg.exe",
    "/usr/lib/i386-linux-gnu/wine/i386-windows/wordpad.exe",
    "/usr/lib/x86_64-linux-gnu/wine/x86_64-windows/explorer.exe",
    "/usr/lib/x86_64-linux-gnu/wine/x86_64-windows/notepad.exe",
};

double Seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

// Repeats work until it has taken a while; returns seconds per run.
template <class Work>
double TimePerRun(Work work) {
    int runs = 0;
    auto start = Clock::now();
    do {
        work();
        ++runs;
    } while (Seconds(start) < 0.3);
    return Seconds(start) / runs;
}

size_t CompressedSize(const char* command, const std::string& path) {
    std::string line = std::string(command) + " < '" + path + "' | wc -c";
    FILE* p = popen(line.c_str(), "r");
    if (!p) return 0;
    unsigned long long n = 0;
    if (fscanf(p, "%llu", &n) != 1) n = 0;
    pclose(p);
    return static_cast<size_t>(n);
}

double Mbps(size_t bytes, double seconds) { return seconds > 0 ? bytes / seconds / 1e6 : 0; }
double Pct(size_t part, size_t whole) { return whole ? 100.0 * part / whole : 0; }

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> files;
    for (int i = 1; i < argc; ++i) files.push_back(argv[i]);
    if (files.empty()) {
        for (const char* f : kDefaultCorpus) {
            if (FILE* probe = fopen(f, "rb")) {
                fclose(probe);
                files.push_back(f);
            }
        }
    }
    if (files.empty()) {
        fprintf(stderr, "no corpus: install wine or name files\n");
        return 1;
    }

    printf("%-20s %10s %8s %8s %8s %9s %9s %9s\n", "file", "bytes", "yppack", "gzip-9", "xz-9",
           "pack MB/s", "dec MB/s", "memcpy");
    size_t totalIn = 0, totalPacked = 0, totalGzip = 0, totalXz = 0;
    double totalDecode = 0, totalCopy = 0, totalPack = 0;
    bool allRoundTrip = true;
    std::string largestName;
    size_t largestSize = 0;
    double largestPackMbps = 0;
    for (const std::string& path : files) {
        Bytes data;
        try {
            data = yppack::ReadWholeFile(path, kMaxUnpackedSize);
        } catch (const yppack::Failure& e) {
            printf("%-20s skipped: %s\n", path.c_str(), e.what());
            continue;
        }
        auto packStart = Clock::now();
        Bytes container = yppack::Pack(data.data(), data.size());
        double packSeconds = Seconds(packStart);

        Bytes decoded(data.size());
        double decodeSeconds = TimePerRun([&] {
            support::PieceSource source(container);
            support::BufferSink sink(decoded.data());
            if (DecodeResource(source, sink, "EXE")) allRoundTrip = false;
            if (sink.size != data.size()) allRoundTrip = false;
        });
        // The reference decoder reads the container as the format says.
        reference::Bytes byReference;
        bool same = decoded == data && reference::Decode(container, byReference) && byReference == data;
        allRoundTrip = allRoundTrip && same;
        Bytes copy(data.size());
        double copySeconds = TimePerRun([&] {
            memcpy(copy.data(), data.data(), data.size());
            asm volatile("" : : "r"(copy.data()) : "memory");
        });

        size_t gz = CompressedSize("gzip -9c", path);
        size_t xz = CompressedSize("xz -9c", path);
        std::string name = path.substr(path.find_last_of('/') + 1);
        printf("%-20s %10zu %7.2f%% %7.2f%% %7.2f%% %9.1f %9.1f %9.1f%s\n", name.c_str(), data.size(),
               Pct(container.size(), data.size()), Pct(gz, data.size()), Pct(xz, data.size()),
               Mbps(data.size(), packSeconds), Mbps(data.size(), decodeSeconds),
               Mbps(data.size(), copySeconds), same ? "" : "  ROUND TRIP FAILED");
        totalIn += data.size();
        totalPacked += container.size();
        totalGzip += gz;
        totalXz += xz;
        totalDecode += decodeSeconds;
        totalCopy += copySeconds;
        totalPack += packSeconds;
        if (data.size() > largestSize) {
            largestSize = data.size();
            largestName = name;
            largestPackMbps = Mbps(data.size(), packSeconds);
        }
    }
    printf("%-20s %10zu %7.2f%% %7.2f%% %7.2f%% %9.1f %9.1f %9.1f\n", "total", totalIn,
           Pct(totalPacked, totalIn), Pct(totalGzip, totalIn), Pct(totalXz, totalIn),
           Mbps(totalIn, totalPack), Mbps(totalIn, totalDecode), Mbps(totalIn, totalCopy));
    printf("\npacked bytes: yppack %zu, gzip -9 %zu, xz -9 %zu of %zu\n", totalPacked, totalGzip,
           totalXz, totalIn);
    printf("decoder %.1f MB/s = %.1f%% of memcpy (%.1f MB/s) over the same bytes\n",
           Mbps(totalIn, totalDecode), Pct(static_cast<size_t>(Mbps(totalIn, totalDecode) * 1000),
                                            static_cast<size_t>(Mbps(totalIn, totalCopy) * 1000)),
           Mbps(totalIn, totalCopy));
    printf("packer %.1f MB/s on the largest file, %s\n", largestPackMbps, largestName.c_str());
    printf("round trips: %s\n", allRoundTrip ? "all files unchanged" : "FAILED");
    return allRoundTrip ? 0 : 1;
}
