// Whole-file reads and all-or-nothing writes for the packer.
#include "tools/yppack/FileIo.h"

#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <string.h>
#include <time.h>

#include <memory>
#include <random>

#ifdef _WIN32
#include <io.h>
#include <process.h>
#include <windows.h>
#define close _close
#define open _open
#define getpid _getpid
#else
#include <sys/stat.h>
#include <unistd.h>
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

// Temporary names are short so that they fit beside an OUT whose own name
// already takes the whole 255 bytes a folder entry may have, and random so
// that two runs writing one OUT never pick the same one.
constexpr const char kTempPrefix[] = ".yppack-";
constexpr int kTempNameLetters = 8;
constexpr int kTempNameAttempts = 100;

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

#ifdef _WIN32

std::string SystemMessage(DWORD err) {
    char text[512] = {};
    DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, err, 0,
                             text, sizeof text, nullptr);
    while (n > 0 && (text[n - 1] == '\r' || text[n - 1] == '\n' || text[n - 1] == ' ' || text[n - 1] == '.')) --n;
    return n ? std::string(text, n) : "error " + std::to_string(err);
}

[[noreturn]] void FailWriting(const std::string& out, DWORD err) {
    throw Failure("cannot write " + out + ": " + SystemMessage(err));
}

struct HandleCloser {
    using pointer = HANDLE;
    void operator()(HANDLE h) const {
        if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
    }
};
using OwnedHandle = std::unique_ptr<void, HandleCloser>;

// Where writing OUT lands: OUT, or the file its link points to, with the
// attributes the new file keeps.
struct Destination {
    std::string file;
    bool exists = false;
    DWORD attributes = 0;
};

// Splits a path at its last component the way the system does, so that a
// CP932 trail byte 0x5C is never taken for a separator.
std::string FolderOf(const std::string& out, const std::string& path) {
    char full[MAX_PATH * 4];
    char* name = nullptr;
    DWORD n = GetFullPathNameA(path.c_str(), sizeof full, full, &name);
    if (n == 0) FailWriting(out, GetLastError());
    if (n >= sizeof full || !name) FailWriting(out, ERROR_FILENAME_EXCED_RANGE);
    return std::string(full, name - full);
}

// The final path of an open link, as a plain drive or UNC path.
std::string FinalPath(const std::string& out, HANDLE h) {
    using Fn = DWORD(WINAPI*)(HANDLE, LPSTR, DWORD, DWORD);
    // Vista and later only; a system without it has no file links either.
    auto getFinalPath = reinterpret_cast<Fn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "GetFinalPathNameByHandleA")));
    if (!getFinalPath) FailWriting(out, ERROR_NOT_SUPPORTED);
    char path[MAX_PATH * 4];
    DWORD n = getFinalPath(h, path, sizeof path, 0 /* FILE_NAME_NORMALIZED | VOLUME_NAME_DOS */);
    if (n == 0) FailWriting(out, GetLastError());
    if (n >= sizeof path) FailWriting(out, ERROR_FILENAME_EXCED_RANGE);
    std::string final(path, n);
    if (final.compare(0, 8, "\\\\?\\UNC\\") == 0) return "\\\\" + final.substr(8);
    if (final.compare(0, 4, "\\\\?\\") == 0) return final.substr(4);
    return final;
}

Destination Resolve(const std::string& out) {
    DWORD attributes = GetFileAttributesA(out.c_str());
    // Opening follows links, so what is asked below is the file a link points to.
    OwnedHandle h(CreateFileA(out.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (h.get() == INVALID_HANDLE_VALUE) {
        DWORD err = GetLastError();
        if (attributes == INVALID_FILE_ATTRIBUTES && (err == ERROR_FILE_NOT_FOUND || err == ERROR_PATH_NOT_FOUND)) {
            return {out, false, 0};
        }
        FailWriting(out, err);
    }
    if (GetFileType(h.get()) != FILE_TYPE_DISK) {
        throw Failure(out + " is a device, not a regular file: left as it is");
    }
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(h.get(), &info)) FailWriting(out, GetLastError());
    if (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        throw Failure(out + " is a folder, not a regular file: left as it is");
    }
    std::string file = out;
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        file = FinalPath(out, h.get());
    }
    return {file, true, info.dwFileAttributes};
}

// A temporary file that removes itself unless it was moved into place.
class TempFile {
public:
    ~TempFile() {
        handle_.reset();
        if (!path_.empty()) {
            SetFileAttributesA(path_.c_str(), FILE_ATTRIBUTE_NORMAL);  // a read-only file cannot be deleted
            DeleteFileA(path_.c_str());
        }
    }
    void Create(const std::string& out, const std::string& folder) {
        for (int attempt = 0; attempt < kTempNameAttempts; ++attempt) {
            std::string path = folder + tempName();
            // CREATE_NEW never opens what is already there, a link included.
            HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                                   nullptr);
            if (h != INVALID_HANDLE_VALUE) {
                handle_.reset(h);
                path_ = path;
                return;
            }
            DWORD err = GetLastError();
            if (err != ERROR_FILE_EXISTS && err != ERROR_ALREADY_EXISTS) FailWriting(out, err);
        }
        FailWriting(out, ERROR_FILE_EXISTS);
    }
    void Write(const std::string& out, const Bytes& bytes) {
        size_t done = 0;
        while (done < bytes.size()) {
            DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 30));
            DWORD wrote = 0;
            if (!WriteFile(handle_.get(), bytes.data() + done, chunk, &wrote, nullptr)) FailWriting(out, GetLastError());
            if (wrote == 0) FailWriting(out, ERROR_WRITE_FAULT);
            done += wrote;
        }
        if (!FlushFileBuffers(handle_.get())) FailWriting(out, GetLastError());
        HANDLE h = handle_.release();
        if (!CloseHandle(h)) FailWriting(out, GetLastError());
        handle_.reset(INVALID_HANDLE_VALUE);
    }
    const std::string& Path() const { return path_; }
    void Kept() { path_.clear(); }

private:
    OwnedHandle handle_{INVALID_HANDLE_VALUE};
    std::string path_;
};

// The attributes an existing OUT passes on to its replacement.
constexpr DWORD kKeptAttributes =
    FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE;

void Replace(const std::string& out, const Destination& to, TempFile& temp) {
    DWORD kept = to.attributes & kKeptAttributes;
    if (to.exists && kept && !SetFileAttributesA(temp.Path().c_str(), kept)) FailWriting(out, GetLastError());
    // A read-only file cannot be replaced; the folder allows it all the same,
    // as it does on POSIX, so the flag is lifted for the move and comes back
    // with the new file.
    bool lifted = to.exists && (to.attributes & FILE_ATTRIBUTE_READONLY);
    if (lifted && !SetFileAttributesA(to.file.c_str(), to.attributes & ~FILE_ATTRIBUTE_READONLY)) {
        FailWriting(out, GetLastError());
    }
    if (!MoveFileExA(temp.Path().c_str(), to.file.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        DWORD err = GetLastError();
        if (lifted) SetFileAttributesA(to.file.c_str(), to.attributes);
        FailWriting(out, err);
    }
    temp.Kept();
}

#else  // POSIX

[[noreturn]] void FailWriting(const std::string& out, int err) { throw Failure(Describe("cannot write", out, err)); }

// Links deeper than this are taken for a loop, as the system does.
constexpr int kMaxLinkHops = 40;

struct Destination {
    std::string file;
    bool exists = false;
    mode_t mode = 0;
};

// The folder part of path, "." when it has none.
std::string FolderOf(const std::string& path) {
    size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// Where writing OUT lands: OUT, or the file at the end of its chain of links,
// each read relative to the folder holding it.
Destination Resolve(const std::string& out) {
    std::string at = out;
    for (int hop = 0;; ++hop) {
        struct stat st;
        if (lstat(at.c_str(), &st) != 0) {
            if (errno == ENOENT) return {at, false, 0};
            FailWriting(out, errno);
        }
        if (S_ISREG(st.st_mode)) return {at, true, st.st_mode};
        if (!S_ISLNK(st.st_mode)) {
            const char* kind = S_ISDIR(st.st_mode)    ? "a folder"
                               : S_ISFIFO(st.st_mode) ? "a FIFO"
                               : S_ISCHR(st.st_mode)  ? "a character device"
                               : S_ISBLK(st.st_mode)  ? "a block device"
                               : S_ISSOCK(st.st_mode) ? "a socket"
                                                      : "something else";
            throw Failure(out + (at == out ? "" : " (through its link)") + " is " + kind +
                          ", not a regular file: left as it is");
        }
        if (hop == kMaxLinkHops) FailWriting(out, ELOOP);
        char link[4096];
        ssize_t n = readlink(at.c_str(), link, sizeof link);
        if (n < 0) FailWriting(out, errno);
        if (static_cast<size_t>(n) == sizeof link) FailWriting(out, ENAMETOOLONG);
        std::string next(link, static_cast<size_t>(n));
        at = !next.empty() && next[0] == '/' ? next : FolderOf(at) + "/" + next;
    }
}

// A temporary file that removes itself unless it was renamed into place.
class TempFile {
public:
    ~TempFile() {
        if (fd_ >= 0) ::close(fd_);
        if (!path_.empty()) unlink(path_.c_str());
    }
    void Create(const std::string& out, const std::string& folder) {
        for (int attempt = 0; attempt < kTempNameAttempts; ++attempt) {
            std::string path = folder + "/" + tempName();
            // O_EXCL never opens what is already there, a planted link included.
            int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
            if (fd >= 0) {
                fd_ = fd;
                path_ = path;
                return;
            }
            if (errno != EEXIST) FailWriting(out, errno);
        }
        FailWriting(out, EEXIST);
    }
    void Write(const std::string& out, const Bytes& bytes, const Destination& to) {
        size_t done = 0;
        while (done < bytes.size()) {
            ssize_t n = ::write(fd_, bytes.data() + done, std::min<size_t>(bytes.size() - done, 1u << 30));
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) FailWriting(out, errno);
            if (n == 0) FailWriting(out, EIO);
            done += static_cast<size_t>(n);
        }
        // Only the access bits: set-id bits have no business on a new file.
        if (to.exists && fchmod(fd_, to.mode & 0777) != 0) FailWriting(out, errno);
        if (fsync(fd_) != 0) FailWriting(out, errno);
        int fd = fd_;
        fd_ = -1;
        if (::close(fd) != 0) FailWriting(out, errno);
    }
    const std::string& Path() const { return path_; }
    void Kept() { path_.clear(); }

private:
    int fd_ = -1;
    std::string path_;
};

void Replace(const std::string& out, const Destination& to, TempFile& temp) {
    if (rename(temp.Path().c_str(), to.file.c_str()) != 0) FailWriting(out, errno);
    temp.Kept();
    // The rename lasts a power cut only once the folder is on disk too; not
    // every file system can sync a folder, and the new file is already in
    // place, so a refusal here is no failure.
    int dir = ::open(FolderOf(to.file).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        fsync(dir);
        ::close(dir);
    }
}

#endif

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
    Destination to = Resolve(path);
    TempFile temp;
#ifdef _WIN32
    temp.Create(path, FolderOf(path, to.file));
    temp.Write(path, bytes);
#else
    temp.Create(path, FolderOf(to.file));
    temp.Write(path, bytes, to);
#endif
    Replace(path, to, temp);
}

TempNamer SetTempNamer(TempNamer namer) {
    TempNamer previous = tempName;
    tempName = namer;
    return previous;
}

}  // namespace yppack
