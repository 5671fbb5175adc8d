// The packer's file writer on POSIX systems: links, modes, renames and signals.
#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include "tools/yppack/FileIo.h"

namespace yppack {

namespace {

constexpr int kTempNameAttempts = 100;
// Links deeper than this are taken for a loop, as the system does.
constexpr int kMaxLinkHops = 40;

[[noreturn]] void FailWriting(const std::string& out, int err) {
    throw Failure("cannot write " + out + ": " + strerror(err));
}

// Where writing OUT lands: OUT, or the file at the end of its chain of links.
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

// Linux's fs.protected_symlinks and fs.protected_regular: in a sticky
// folder anyone may write to, the system follows a link, or opens a file
// that is there to write to it, only for its owner or the folder's. A packer
// run as root must not do on its own what the system would refuse: follow a
// link planted there, or replace a planted file and give root's output its
// mode (0666: anyone could rewrite it before it is published).
void CheckOwnerInStickyFolder(const std::string& out, const std::string& path, const struct stat& pathStat) {
    const std::string folder = FolderOf(path);
    struct stat st;
    if (stat(folder.c_str(), &st) != 0) FailWriting(out, errno);
    if (!(st.st_mode & S_ISVTX) || !(st.st_mode & S_IWOTH)) return;
    if (pathStat.st_uid == geteuid() || pathStat.st_uid == st.st_uid) return;
    const bool link = S_ISLNK(pathStat.st_mode);
    throw Failure(out + (path == out ? "" : " (through " + (link ? path : "its link") + ")") + " is " +
                  (link ? "a link" : "a file") + " in " + folder +
                  ", a sticky folder anyone may write to, owned by neither you nor the folder's owner: " +
                  (link ? "not followed, as the system would not follow it"
                        : "not replaced, as the system would not open it for writing"));
}

// Follows OUT's chain of links, each read relative to the folder holding it.
Destination Resolve(const std::string& out) {
    std::string at = out;
    for (int hop = 0;; ++hop) {
        struct stat st;
        if (lstat(at.c_str(), &st) != 0) {
            if (errno == ENOENT && hop == 0) return {at, false, 0};
            if (errno == ENOENT) {
                throw Failure(out + " is a link to " + at +
                              ", which does not exist: refused (a link is written through only to a file that is there)");
            }
            FailWriting(out, errno);
        }
        if (S_ISREG(st.st_mode)) {
            CheckOwnerInStickyFolder(out, at, st);
            return {at, true, st.st_mode};
        }
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
        CheckOwnerInStickyFolder(out, at, st);
        char link[4096];
        ssize_t n = readlink(at.c_str(), link, sizeof link);
        if (n < 0) FailWriting(out, errno);
        if (static_cast<size_t>(n) == sizeof link) FailWriting(out, ENAMETOOLONG);
        std::string next(link, static_cast<size_t>(n));
        at = !next.empty() && next[0] == '/' ? next : FolderOf(at) + "/" + next;
    }
}

// What a new file's mode would be, had it been created with open().
mode_t NewFileMode() {
    mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}

void Replace(const std::string& out, const Destination& to, TempFile& temp) {
    {
        InterruptsHeld held;
        if (rename(temp.Path().c_str(), to.file.c_str()) != 0) FailWriting(out, errno);
        temp.Kept();
    }
    // The rename lasts a power cut only once the folder is on disk too; not
    // every file system can sync a folder, and the new file is already in
    // place, so a refusal here is no failure.
    int dir = open(FolderOf(to.file).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        fsync(dir);
        close(dir);
    }
}

sigset_t heldSignals;
sigset_t savedSignals;
int holds = 0;

void OnInterrupt(int sig) {
    InterruptRemoval::RemoveAll();
    raise(sig);  // pending until the handler returns, then the default: the program ends as it would have
}

}  // namespace

TempFile::TempFile(const std::string& folder, const std::string& out) : out_(out), handle_(-1) {
    for (int attempt = 0; attempt < kTempNameAttempts; ++attempt) {
        std::string path = folder + "/" + NextName();
        InterruptsHeld held;
        slot_ = InterruptRemoval::List(path, false);
        // O_EXCL never opens what is already there, a planted link included;
        // 0600 keeps the bytes from others until the file has its mode.
        int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd >= 0) {
            handle_ = fd;
            path_ = path;
            return;
        }
        int err = errno;
        InterruptRemoval::Unlist(slot_);
        slot_ = -1;
        if (err != EEXIST) FailWriting(out, err);
    }
    FailWriting(out, EEXIST);
}

TempFile::~TempFile() {
    if (handle_ >= 0) close(static_cast<int>(handle_));
    InterruptsHeld held;
    if (!path_.empty()) unlink(path_.c_str());
    InterruptRemoval::Unlist(slot_);
}

void TempFile::Write(const Bytes& bytes, uint32_t mode) {
    const int fd = static_cast<int>(handle_);
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = write(fd, bytes.data() + done, std::min<size_t>(bytes.size() - done, 1u << 30));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) FailWriting(out_, errno);
        if (n == 0) FailWriting(out_, EIO);
        done += static_cast<size_t>(n);
    }
    // Only the access bits: set-id bits have no business on a new file.
    if (fchmod(fd, static_cast<mode_t>(mode & 0777)) != 0) FailWriting(out_, errno);
    if (fsync(fd) != 0) FailWriting(out_, errno);
    handle_ = -1;
    if (close(fd) != 0) FailWriting(out_, errno);
}

void WriteWholeFile(const std::string& path, const Bytes& bytes) {
    Destination to = Resolve(path);
    TempFile temp(FolderOf(to.file), path);
    temp.Write(bytes, to.exists ? to.mode : NewFileMode());
    Replace(path, to, temp);
}

void InterruptRemoval::InstallHandler() {
    static bool installed = false;
    if (installed) return;
    installed = true;
    for (int sig : kInterruptSignals) {
        struct sigaction old;
        // A program started with the signal ignored (nohup) keeps it so.
        if (sigaction(sig, nullptr, &old) == 0 && old.sa_handler == SIG_IGN) continue;
        struct sigaction action = {};
        action.sa_handler = OnInterrupt;
        sigemptyset(&action.sa_mask);
        for (int other : kInterruptSignals) sigaddset(&action.sa_mask, other);
        // Back to the default once handled: raised again, it ends the
        // program as it would have.
        action.sa_flags = SA_RESETHAND;
        sigaction(sig, &action, nullptr);
    }
}

void InterruptRemoval::RemovePath(const char* path, bool folder) {
    if (folder) {
        rmdir(path);
    } else {
        unlink(path);
    }
}

InterruptsHeld::InterruptsHeld() {
    if (holds++ > 0) return;
    sigemptyset(&heldSignals);
    for (int sig : kInterruptSignals) sigaddset(&heldSignals, sig);
    sigprocmask(SIG_BLOCK, &heldSignals, &savedSignals);
}

InterruptsHeld::~InterruptsHeld() {
    if (--holds > 0) return;
    sigprocmask(SIG_SETMASK, &savedSignals, nullptr);
}

}  // namespace yppack
