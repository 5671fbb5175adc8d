// Whole-file reads and all-or-nothing writes for the packer.
#include "tools/yppack/FileIo.h"

#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <string.h>

#include <filesystem>
#include <memory>
#include <system_error>

#ifdef _WIN32
#include <io.h>
#define dup _dup
#define dup2 _dup2
#define close _close
#define open _open
constexpr const char* kNullDevice = "NUL";
#else
#include <unistd.h>
constexpr const char* kNullDevice = "/dev/null";
#endif

namespace yppack {

namespace {

std::string Describe(const std::string& what, const std::string& path, int err) {
    return what + " " + path + ": " + strerror(err);
}

struct FileCloser {
    void operator()(FILE* f) const {
        if (f) fclose(f);
    }
};

}  // namespace

Bytes ReadWholeFile(const std::string& path, size_t maxSize) {
    FILE* f = fopen(path.c_str(), "rb");
    if (!f) throw Failure(Describe("cannot open", path, errno));
    std::unique_ptr<FILE, FileCloser> owner(f);
    Bytes bytes;
    uint8_t chunk[1 << 16];
    for (;;) {
        size_t got = fread(chunk, 1, sizeof chunk, f);
        bytes.insert(bytes.end(), chunk, chunk + got);
        if (bytes.size() > maxSize) {
            throw Failure(path + " is longer than " + std::to_string(maxSize) + " bytes");
        }
        if (got < sizeof chunk) break;
    }
    if (ferror(f)) throw Failure(Describe("cannot read", path, errno));
    return bytes;
}

void WriteWholeFile(const std::string& path, const Bytes& bytes) {
    const std::string temp = path + ".yppack-tmp";
    FILE* f = fopen(temp.c_str(), "wb");
    if (!f) throw Failure(Describe("cannot create", temp, errno));
    bool ok = fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    int err = errno;
    ok = fflush(f) == 0 && ok;
    if (!ok) err = errno;
    if (fclose(f) != 0 && ok) {
        ok = false;
        err = errno;
    }
    std::error_code ec;
    if (!ok) {
        std::filesystem::remove(temp, ec);
        throw Failure(Describe("cannot write", temp, err));
    }
    std::filesystem::rename(temp, path, ec);
    if (ec) {
        std::error_code ignored;
        std::filesystem::remove(temp, ignored);
        throw Failure("cannot replace " + path + ": " + ec.message());
    }
}

QuietStderr::QuietStderr() {
    fflush(stderr);
    saved_ = dup(2);
    int null = open(kNullDevice, O_WRONLY);
    if (null >= 0) {
        dup2(null, 2);
        close(null);
    }
}

QuietStderr::~QuietStderr() {
    fflush(stderr);
    if (saved_ >= 0) {
        dup2(saved_, 2);
        close(saved_);
    }
}

}  // namespace yppack
