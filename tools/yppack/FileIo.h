// Whole-file reads, all-or-nothing writes and temporary files that never outstay the packer.
//
// FileIo.cpp holds what every platform shares; FileIoPosix.cpp and
// FileIoWindows.cpp each implement the rest for one platform.
#pragma once

#include <signal.h>
#include <stddef.h>
#include <stdint.h>

#include <string>

#include "tools/yppack/Container.h"

namespace yppack {

#ifndef _WIN32
// What an interrupt comes as: Ctrl-C (SIGINT), kill (SIGTERM), a closed
// terminal or SSH session (SIGHUP), Ctrl-\ (SIGQUIT).
constexpr int kInterruptSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};
#endif

// ReadWholeFile's refusal of a file longer than asked for.
class FileTooLong : public Failure {
public:
    using Failure::Failure;
};

// Throws FileTooLong when the file is longer than maxSize, Failure naming
// path when it cannot be read.
Bytes ReadWholeFile(const std::string& path, size_t maxSize);

// Writes to a temporary file beside path and renames it over path, so that
// path is either the old file or the whole new one; throws Failure naming
// path and leaves no temporary file behind when any step fails, or when an
// interrupt stops the program.
// A path that is a link has the file it points to replaced, and stays a
// link, but only where the system would follow that link for this user: in
// a sticky folder anyone may write to (/tmp), only a link this user or the
// folder's owner owns; a file there, likewise, is replaced only when one of
// them owns it. A link to nothing is refused, not followed to create
// a file wherever it points. An existing file keeps its permission bits (on
// Windows its read-only, hidden, system and archive attributes); a
// read-only one is replaced all the same when its folder allows it, as a
// rename would; a new file gets 0666 less the umask. A path that is a
// folder, FIFO or device is refused and left as it is.
void WriteWholeFile(const std::string& path, const Bytes& bytes);

// A new file of a fresh short name in folder, created for this user alone
// (0600), open for writing; removed when it goes out of scope unless Kept,
// and when an interrupt stops the program first. Errors name out, the
// file it stands in for.
class TempFile {
public:
    TempFile(const std::string& folder, const std::string& out);
    ~TempFile();
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    // Writes all of bytes, gives the file the permission bits mode (POSIX
    // only: on Windows attributes are set when it is moved into place),
    // flushes and closes it.
    void Write(const Bytes& bytes, uint32_t mode);
    const std::string& Path() const { return path_; }
    // Moved into place: no longer removed.
    void Kept();

private:
    static std::string NextName();

    std::string out_;
    std::string path_;
    intptr_t handle_;
    int slot_ = -1;
};

// Names the temporary files TempFile creates (a random short name by
// default); returns the namer it replaces. Tests plant things at the names
// it will pick.
using TempNamer = std::string (*)();
TempNamer SetTempNamer(TempNamer namer);

// While a path is listed, an interrupt (kInterruptSignals; on Windows
// Ctrl-C, Ctrl-Break or the console closing) removes it before the program ends: the listed
// files first, then the listed folders. The list is fixed storage, read by
// a signal handler that may not allocate.
class InterruptRemoval {
public:
    // Lists path; returns its slot for Unlist. Throws Failure when the list
    // is full or path too long for it.
    static int List(const std::string& path, bool folder);
    static void Unlist(int slot);
    // Runs first when an interrupt comes, in the signal handler (POSIX) or
    // the console's thread (Windows): only async-signal-safe calls.
    static void SetFirstStep(void (*step)());
    // What an interrupt does before the program ends; called by the
    // platform's handler.
    static void RemoveAll();

private:
    static void InstallHandler();
    static void RemovePath(const char* path, bool folder);
};

// Holds interrupts back while one lives (POSIX; they may nest), so
// that a file is never created, renamed or removed without the list
// knowing.
class InterruptsHeld {
public:
    InterruptsHeld();
    ~InterruptsHeld();
    InterruptsHeld(const InterruptsHeld&) = delete;
    InterruptsHeld& operator=(const InterruptsHeld&) = delete;
};

}  // namespace yppack
