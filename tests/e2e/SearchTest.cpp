// Drives the automatic search of a running updater under Wine, one scenario
// per run: search-e2e.exe SCENARIO UPDATER.EXE [ARG]. The drives and their
// trees are laid out by search.sh before each run.
#include <windows.h>

#include <stdio.h>
#include <string.h>

#include <functional>
#include <string>
#include <vector>

#include "resources/Layouts.h"
#include "resources/Names.h"
#include "resources/Texts.h"

namespace {

int g_failures = 0;

void Check(bool ok, const std::string& what) {
    printf("  %s %s\n", ok ? "ok  " : "FAIL", what.c_str());
    if (!ok) ++g_failures;
}

bool WaitFor(const std::function<bool()>& done, DWORD timeoutMs) {
    DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > timeoutMs) return false;
        Sleep(2);
    }
    return true;
}

std::string TextOf(HWND window) {
    char text[1024] = "";
    DWORD_PTR got = 0;
    SendMessageTimeoutA(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text),
                        SMTO_NORMAL, 5000, &got);
    return text;
}

std::string Progress(const std::string& folder) { return texts::kSearchingPrefix + folder; }

struct Updater {
    PROCESS_INFORMATION process = {};
    HWND dialog = nullptr;
    HWND button1 = nullptr, button2 = nullptr, button3 = nullptr, label6 = nullptr;

    bool Start(const char* exe) {
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        std::string command = std::string("\"") + exe + "\"";
        if (!CreateProcessA(exe, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                            &process)) {
            return false;
        }
        // The dialog shows itself at the first show when no folder is known.
        if (!WaitFor([&] {
                dialog = FindWindowA(kLocateWindow.className, nullptr);
                return dialog && IsWindowVisible(dialog);
            }, 20000)) {
            return false;
        }
        button1 = GetDlgItem(dialog, kIdLocateButton1);
        button2 = GetDlgItem(dialog, kIdLocateButton2);
        button3 = GetDlgItem(dialog, kIdLocateButton3);
        label6 = GetDlgItem(dialog, kIdLocateLabel6);
        return button1 && label6;
    }
    void Click(HWND button) { PostMessageA(button, BM_CLICK, 0, 0); }
    std::string Label() { return TextOf(label6); }
    HWND Box() { return FindWindowA(kMessageDialogClass, nullptr); }
    bool Exited(DWORD timeoutMs) { return WaitForSingleObject(process.hProcess, timeoutMs) == WAIT_OBJECT_0; }

    // The buttons as the Idle state leaves them.
    void CheckIdle(const std::string& when) {
        Check(TextOf(button1) == texts::kAutoSearch, when + ": search button reads 自動検索");
        Check(IsWindowEnabled(button2) && IsWindowEnabled(button3), when + ": other buttons enabled");
    }
    // Waits for the search's progress line to name a folder under prefix.
    bool WaitProgressUnder(const std::string& folder) {
        return WaitFor([&] { return Label().rfind(Progress(folder), 0) == 0; }, 20000);
    }
    // Answers the not-found box; true when it had the expected look.
    bool CheckNotFoundBox(const std::string& when) {
        HWND box = nullptr;
        if (!WaitFor([&] { return (box = Box()) && IsWindowVisible(box); }, 60000)) {
            Check(false, when + ": not-found box shown");
            return false;
        }
        Check(TextOf(box) == texts::kInfoCaption, when + ": box caption 情報");
        Check(TextOf(GetDlgItem(box, kIdMessageText)) == texts::kNotFound, when + ": box text");
        HWND only = GetDlgItem(box, kIdMessageButtonFirst);
        Check(only && TextOf(only) == texts::kButtonAbort, when + ": box button 中止(&A)");
        Check(!GetDlgItem(box, kIdMessageButtonFirst + 1), when + ": one button only");
        LRESULT code = SendMessageA(only, WM_GETDLGCODE, 0, 0);
        Check(!(code & DLGC_DEFPUSHBUTTON), when + ": button not the default");
        Click(only);
        Check(WaitFor([&] { return !IsWindow(box) || !IsWindowVisible(box); }, 5000),
              when + ": box closed by its button");
        return true;
    }
    void Quit() {
        if (WaitForSingleObject(process.hProcess, 0) != WAIT_OBJECT_0) {
            if (IsWindowVisible(dialog)) PostMessageA(dialog, WM_CLOSE, 0, 0);
            WaitFor([&] { return !IsWindowVisible(dialog); }, 5000);
            HWND main = FindWindowA(kMainWindow.className, nullptr);
            if (main) PostMessageA(main, WM_CLOSE, 0, 0);
            if (!Exited(10000)) {
                Check(false, "updater ended");
                TerminateProcess(process.hProcess, 9);
            }
        }
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
};

constexpr char kRecordPath[] = "Software\\Brackwen\\KESTRAVON";

void ClearRecord() {
    RegDeleteKeyA(HKEY_CURRENT_USER, kRecordPath);
}

std::string ReadRecord() {
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kRecordPath, 0, KEY_READ, &key) != ERROR_SUCCESS) return "";
    char value[600] = "";
    DWORD size = sizeof value - 1;
    DWORD type = 0;
    LONG status = RegQueryValueExA(key, names::kRecordValue, nullptr, &type,
                                   reinterpret_cast<BYTE*>(value), &size);
    RegCloseKey(key);
    return status == ERROR_SUCCESS ? value : "";
}

// The search, found by walking the drives with nothing but FindFirstFileA;
// written apart from the program so that both read the same listing order.
bool ReferenceWalk(const std::string& folder, std::string& found, int depth) {
    if (depth > 40) return false;
    WIN32_FIND_DATAA entry;
    HANDLE find = FindFirstFileA((folder + "\\*.*").c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE) return false;
    bool stopped = false;
    do {
        std::string name = entry.cFileName;
        if (name == "." || name == "..") continue;
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            if (!stopped && !(entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
                stopped = ReferenceWalk(folder + "\\" + name, found, depth + 1);
            }
            continue;
        }
        for (char& c : name) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
        if (name == names::kMarkerName) {
            found = folder;
            stopped = true;
            break;
        }
    } while (FindNextFileA(find, &entry));
    FindClose(find);
    return stopped;
}

std::string ExpectedRecord() {
    for (char letter = 'A'; letter <= 'Z'; ++letter) {
        const char root[] = {letter, ':', '\\', '\0'};
        if (GetDriveTypeA(root) != DRIVE_FIXED) continue;
        std::string found;
        if (ReferenceWalk(std::string(1, letter) + ":", found, 0)) return found + "\\";
    }
    return "";
}

// find EXPECTED: the search stores EXPECTED and the dialog closes; shown
// again through the main window's change button, it is Idle.
// With ORDER, prints how that folder lists, to show what the case decides.
void ScenarioFind(const char* exe, const std::string& expected, const std::string& order) {
    Check(ExpectedRecord() == expected, "reference walk agrees: " + expected);
    if (!order.empty()) {
        std::string names;
        WIN32_FIND_DATAA entry;
        HANDLE find = FindFirstFileA((order + "\\*.*").c_str(), &entry);
        if (find != INVALID_HANDLE_VALUE) {
            do names += std::string(" ") + entry.cFileName; while (FindNextFileA(find, &entry));
            FindClose(find);
        }
        printf("  %s lists:%s\n", order.c_str(), names.c_str());
    }
    Updater u;
    if (!u.Start(exe)) return Check(false, "updater started");
    u.Click(u.button1);
    bool closed = WaitFor([&] { return !IsWindowVisible(u.dialog); }, 60000);
    Check(closed, "dialog closed after the find");
    Check(!u.Box(), "no not-found box");
    Check(ReadRecord() == expected, "record is " + expected + " (read " + ReadRecord() + ")");
    // At the first show the main window appears once the dialog is gone.
    HWND main = nullptr;
    Check(WaitFor([&] { return (main = FindWindowA(kMainWindow.className, nullptr)) && IsWindowVisible(main); },
                  10000),
          "main window stays");
    if (main) {
        PostMessageA(GetDlgItem(main, kIdMainButton4), BM_CLICK, 0, 0);
        Check(WaitFor([&] { return IsWindowVisible(u.dialog); }, 10000), "dialog shown again");
        u.CheckIdle("shown again");
    }
    u.Quit();
}

// notfound: no fixed drive holds the marker.
void ScenarioNotFound(const char* exe) {
    Updater u;
    if (!u.Start(exe)) return Check(false, "updater started");
    u.Click(u.button1);
    u.CheckNotFoundBox("not found");
    u.CheckIdle("after the box");
    Check(ReadRecord().empty(), "nothing stored");
    Check(IsWindowVisible(u.dialog), "dialog stays open");
    u.Quit();
}

// stop FOLDER: stopped while walking under FOLDER, the box is shown and the
// progress line keeps the last folder begun; a new search starts again at
// the first fixed drive (whose root now holds the marker).
void ScenarioStop(const char* exe, const std::string& folder, bool queuedClick) {
    Updater u;
    if (!u.Start(exe)) return Check(false, "updater started");
    u.Click(u.button1);
    Check(u.WaitProgressUnder(folder), "progress under " + folder);
    Check(TextOf(u.button1) == texts::kStopSearch, "search button reads 中止");
    Check(!IsWindowEnabled(u.button2) && !IsWindowEnabled(u.button3), "other buttons disabled");
    u.Click(u.button1);
    if (queuedClick) u.Click(u.button1);  // queued behind the stop
    u.CheckNotFoundBox("stopped");
    std::string last = u.Label();
    Check(last.rfind(Progress(folder), 0) == 0, "progress keeps the last folder begun: " + last);
    std::string lastFolder = last.substr(strlen(texts::kSearchingPrefix));
    DWORD attributes = GetFileAttributesA(lastFolder.c_str());
    Check(attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY),
          "that folder exists");
    u.CheckIdle("after the stop");
    Sleep(500);
    Check(!u.Box(), "no second search, no second box");
    Check(u.Label() == last, "progress line unchanged afterwards");

    // A fresh search begins at the top: the root of the first fixed drive
    // is listed again, and its marker is found there.
    std::string root = folder.substr(0, 2);
    HANDLE marker = CreateFileA((root + "\\" + names::kMarkerName).c_str(), GENERIC_WRITE, 0, nullptr,
                                CREATE_NEW, 0, nullptr);
    Check(marker != INVALID_HANDLE_VALUE, "marker put in " + root);
    CloseHandle(marker);
    u.Click(u.button1);
    Check(WaitFor([&] { return !IsWindowVisible(u.dialog); }, 60000), "new search found it");
    Check(ReadRecord() == root + "\\", "record is " + root + "\\");
    DeleteFileA((root + "\\" + names::kMarkerName).c_str());
    u.Quit();
}

// close FOLDER [RECORD]: the close box while walking under FOLDER ends the
// search without the box and the dialog goes. Without RECORD nothing is
// found and, with no folder known, the program ends; with RECORD a marker
// compared while unwinding is stored all the same and the program stays.
void ScenarioClose(const char* exe, const std::string& folder, const std::string& record) {
    Updater u;
    if (!u.Start(exe)) return Check(false, "updater started");
    u.Click(u.button1);
    Check(u.WaitProgressUnder(folder), "progress under " + folder);
    DWORD start = GetTickCount();
    PostMessageA(u.dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
    bool sawBox = false;
    bool ended = WaitFor([&] {
        if (u.Box()) sawBox = true;
        return !IsWindow(u.dialog) || !IsWindowVisible(u.dialog);
    }, 60000);
    Check(ended, "dialog ended, " + std::to_string(GetTickCount() - start) + " ms after the close");
    Check(!sawBox, "no not-found box");
    if (record.empty()) {
        Check(u.Exited(10000), "program ended (no folder known)");
        Check(ReadRecord().empty(), "nothing stored");
    } else {
        Check(ReadRecord() == record, "record is " + record + " (read " + ReadRecord() + ")");
        Check(!u.Exited(1000), "program stays (a folder is known)");
    }
    u.Quit();
}

// quit FOLDER: a WM_QUIT that reaches the search's pumping while it walks
// under FOLDER ends the search without the box, and the program ends.
void ScenarioQuit(const char* exe, const std::string& folder) {
    Updater u;
    if (!u.Start(exe)) return Check(false, "updater started");
    u.Click(u.button1);
    Check(u.WaitProgressUnder(folder), "progress under " + folder);
    PostThreadMessageA(GetWindowThreadProcessId(u.dialog, nullptr), WM_QUIT, 0, 0);
    bool sawBox = false;
    bool exited = WaitFor([&] {
        if (u.Box()) sawBox = true;
        return u.Exited(0);
    }, 60000);
    Check(exited, "program ended after the quit");
    Check(!sawBox, "no not-found box");
    Check(ReadRecord().empty(), "nothing stored");
    u.Quit();
}

// snap FOLDER SIGNAL: holds a search under FOLDER while the script takes a
// screenshot: creates SIGNAL, waits for SIGNAL.done.
void ScenarioSnap(const char* exe, const std::string& folder, const std::string& signal) {
    Updater u;
    if (!u.Start(exe)) return Check(false, "updater started");
    u.Click(u.button1);
    Check(u.WaitProgressUnder(folder), "progress under " + folder);
    LONG_PTR style = GetWindowLongPtrA(u.label6, GWL_STYLE);
    Check((style & SS_NOPREFIX) != 0, "progress line shows & as it is");
    CloseHandle(CreateFileA(signal.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    std::string done = signal + ".done";
    Check(WaitFor([&] { return GetFileAttributesA(done.c_str()) != INVALID_FILE_ATTRIBUTES; }, 30000),
          "screenshot taken");
    Check(u.Label().find('&') != std::string::npos, "progress line holds the &: " + u.Label());
    u.Click(u.button1);
    u.CheckNotFoundBox("after the screenshot");
    u.Quit();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        fprintf(stderr, "usage: search-e2e SCENARIO UPDATER.EXE [ARG...]\n");
        return 2;
    }
    std::string scenario = argv[1];
    const char* exe = argv[2];
    std::string arg = argc > 3 ? argv[3] : "";
    ClearRecord();
    if (scenario == "find") ScenarioFind(exe, arg, argc > 4 ? argv[4] : "");
    else if (scenario == "notfound") ScenarioNotFound(exe);
    else if (scenario == "stop") ScenarioStop(exe, arg, false);
    else if (scenario == "stop-queued") ScenarioStop(exe, arg, true);
    else if (scenario == "close") ScenarioClose(exe, arg, argc > 4 ? argv[4] : "");
    else if (scenario == "quit") ScenarioQuit(exe, arg);
    else if (scenario == "snap") ScenarioSnap(exe, arg, argc > 4 ? argv[4] : "C:\\snap");
    else if (scenario == "expect") printf("%s\n", ExpectedRecord().c_str());
    else {
        fprintf(stderr, "unknown scenario %s\n", scenario.c_str());
        return 2;
    }
    ClearRecord();
    return g_failures == 0 ? 0 : 1;
}
