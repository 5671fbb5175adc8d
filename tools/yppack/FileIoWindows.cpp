// The packer's file writer on Windows: links, attributes, moves and Ctrl-C.
#include <windows.h>

#include <algorithm>
#include <memory>

#include "tools/yppack/FileIo.h"

namespace yppack {

namespace {

constexpr int kTempNameAttempts = 100;

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

HANDLE AsHandle(intptr_t h) { return reinterpret_cast<HANDLE>(h); }
intptr_t NoHandle() { return reinterpret_cast<intptr_t>(INVALID_HANDLE_VALUE); }

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

// A link to nothing fails to open: it is refused, never followed to create
// a file where it points.
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

// Runs on a thread of its own; the program ends when it returns TRUE.
BOOL WINAPI OnConsoleEvent(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT && event != CTRL_CLOSE_EVENT) return FALSE;
    InterruptRemoval::RemoveAll();
    ExitProcess(STATUS_CONTROL_C_EXIT);
    return TRUE;
}

}  // namespace

TempFile::TempFile(const std::string& folder, const std::string& out) : out_(out), handle_(NoHandle()) {
    for (int attempt = 0; attempt < kTempNameAttempts; ++attempt) {
        std::string path = folder + NextName();
        slot_ = InterruptRemoval::List(path, false);
        // CREATE_NEW never opens what is already there, a link included;
        // shared for deletion, so that Ctrl-C can remove it while it is open.
        HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_DELETE, nullptr, CREATE_NEW,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h != INVALID_HANDLE_VALUE) {
            handle_ = reinterpret_cast<intptr_t>(h);
            path_ = path;
            return;
        }
        DWORD err = GetLastError();
        InterruptRemoval::Unlist(slot_);
        slot_ = -1;
        if (err != ERROR_FILE_EXISTS && err != ERROR_ALREADY_EXISTS) FailWriting(out, err);
    }
    FailWriting(out, ERROR_FILE_EXISTS);
}

TempFile::~TempFile() {
    if (handle_ != NoHandle()) CloseHandle(AsHandle(handle_));
    if (!path_.empty()) {
        SetFileAttributesA(path_.c_str(), FILE_ATTRIBUTE_NORMAL);  // a read-only file cannot be deleted
        DeleteFileA(path_.c_str());
    }
    InterruptRemoval::Unlist(slot_);
}

void TempFile::Write(const Bytes& bytes, uint32_t) {
    HANDLE h = AsHandle(handle_);
    size_t done = 0;
    while (done < bytes.size()) {
        DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 30));
        DWORD wrote = 0;
        if (!WriteFile(h, bytes.data() + done, chunk, &wrote, nullptr)) FailWriting(out_, GetLastError());
        if (wrote == 0) FailWriting(out_, ERROR_WRITE_FAULT);
        done += wrote;
    }
    if (!FlushFileBuffers(h)) FailWriting(out_, GetLastError());
    handle_ = NoHandle();
    if (!CloseHandle(h)) FailWriting(out_, GetLastError());
}

void WriteWholeFile(const std::string& path, const Bytes& bytes) {
    Destination to = Resolve(path);
    TempFile temp(FolderOf(path, to.file), path);
    temp.Write(bytes, 0);
    Replace(path, to, temp);
}

void InterruptRemoval::InstallHandler() {
    static bool installed = false;
    if (!installed) installed = SetConsoleCtrlHandler(OnConsoleEvent, TRUE) != 0;
}

void InterruptRemoval::RemovePath(const char* path, bool folder) {
    if (folder) {
        RemoveDirectoryA(path);
    } else {
        SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(path);
    }
}

// The console's handler runs on a thread of its own; holding it back would
// need a lock the main thread takes for every file, for a window of a few
// calls.
InterruptsHeld::InterruptsHeld() {}
InterruptsHeld::~InterruptsHeld() {}

}  // namespace yppack
