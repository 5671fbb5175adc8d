// Drives the automatic search of a running updater under Wine, one scenario
// per run: SearchTest.exe SCENARIO UPDATER.EXE [ARG...]. The runner lays out
// the drives and their trees before each run.
#include <windows.h>

#include <stdio.h>
#include <string.h>

#include <string>

#include "driver/Check.h"
#include "driver/Driver.h"
#include "driver/Updater.h"
#include "resources/Layouts.h"
#include "resources/Names.h"
#include "resources/Texts.h"

namespace {

check::Suite* gSuite;

void Check(bool ok, const std::string& what) { gSuite->Expect(ok, what); }

using drv::ReadRecord;
using drv::TextOf;
using drv::WaitUntil;

std::string Progress(const std::string& folder) { return texts::kSearchingPrefix + folder; }

// The updater with its locate dialog up, as it starts when no folder is known.
struct Updater {
    bed::Running running;
    HWND dialog = nullptr;
    HWND button1 = nullptr, button2 = nullptr, button3 = nullptr, label6 = nullptr;

    bool Start(const char* exe) {
        if (!bed::Launch(exe, running)) return false;
        dialog = running.WaitWindow(kLocateWindow.className, nullptr, 20000);
        if (!dialog) return false;
        button1 = GetDlgItem(dialog, kIdLocateButton1);
        button2 = GetDlgItem(dialog, kIdLocateButton2);
        button3 = GetDlgItem(dialog, kIdLocateButton3);
        label6 = GetDlgItem(dialog, kIdLocateLabel6);
        return button1 && label6;
    }
    std::string Label() { return TextOf(label6); }
    HWND Box() { return running.Window(names::kMessageDialogClass, nullptr, false); }
    bool Exited(int timeoutMs) { return running.process.WaitExit(timeoutMs) != -1; }

    // The buttons as the Idle state leaves them.
    void CheckIdle(const std::string& when) {
        Check(TextOf(button1) == texts::kAutoSearch, when + ": search button reads 自動検索");
        Check(IsWindowEnabled(button2) && IsWindowEnabled(button3), when + ": other buttons enabled");
    }
    // Waits for the search's progress line to name a folder under prefix.
    bool WaitProgressUnder(const std::string& folder) {
        return WaitUntil([&] { return Label().rfind(Progress(folder), 0) == 0; }, 20000);
    }
    // Answers the not-found box; true when it had the expected look.
    bool CheckNotFoundBox(const std::string& when) {
        HWND box = nullptr;
        if (!WaitUntil([&] { return (box = Box()) && IsWindowVisible(box); }, 60000)) {
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
        drv::Click(only);
        Check(WaitUntil([&] { return !IsWindow(box) || !IsWindowVisible(box); }, 5000),
              when + ": box closed by its button");
        return true;
    }
    void Quit() {
        if (!Exited(0)) {
            if (IsWindowVisible(dialog)) PostMessageA(dialog, WM_CLOSE, 0, 0);
            WaitUntil([&] { return !IsWindowVisible(dialog); }, 5000);
            HWND main = running.Window(kMainWindow.className, nullptr, false);
            if (main) PostMessageA(main, WM_CLOSE, 0, 0);
            if (!Exited(10000)) {
                Check(false, "updater ended");
                running.process.Kill();
            }
        }
    }
};

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
        gSuite->Note(order + " lists:" + names);
    }
    Updater u;
    if (!u.Start(exe)) return Check(false, "updater started");
    drv::Click(u.button1);
    bool closed = WaitUntil([&] { return !IsWindowVisible(u.dialog); }, 60000);
    Check(closed, "dialog closed after the find");
    Check(!u.Box(), "no not-found box");
    Check(ReadRecord() == expected, "record is " + expected + " (read " + ReadRecord() + ")");
    // At the first show the main window appears once the dialog is gone.
    HWND main = nullptr;
    Check((main = u.running.WaitWindow(kMainWindow.className, nullptr, 10000)) != nullptr, "main window stays");
    if (main) {
        PostMessageA(GetDlgItem(main, kIdMainButton4), BM_CLICK, 0, 0);
        Check(WaitUntil([&] { return IsWindowVisible(u.dialog); }, 10000), "dialog shown again");
        u.CheckIdle("shown again");
    }
    u.Quit();
}

// notfound: no fixed drive holds the marker.
void ScenarioNotFound(const char* exe) {
    Updater u;
    if (!u.Start(exe)) return Check(false, "updater started");
    drv::Click(u.button1);
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
    drv::Click(u.button1);
    Check(u.WaitProgressUnder(folder), "progress under " + folder);
    Check(TextOf(u.button1) == texts::kStopSearch, "search button reads 中止");
    Check(!IsWindowEnabled(u.button2) && !IsWindowEnabled(u.button3), "other buttons disabled");
    drv::Click(u.button1);
    if (queuedClick) drv::Click(u.button1);  // queued behind the stop
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
    drv::Click(u.button1);
    Check(WaitUntil([&] { return !IsWindowVisible(u.dialog); }, 60000), "new search found it");
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
    drv::Click(u.button1);
    Check(u.WaitProgressUnder(folder), "progress under " + folder);
    DWORD start = GetTickCount();
    PostMessageA(u.dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
    bool sawBox = false;
    bool ended = WaitUntil([&] {
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
    drv::Click(u.button1);
    Check(u.WaitProgressUnder(folder), "progress under " + folder);
    PostThreadMessageA(GetWindowThreadProcessId(u.dialog, nullptr), WM_QUIT, 0, 0);
    bool sawBox = false;
    bool exited = WaitUntil([&] {
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
    drv::Click(u.button1);
    Check(u.WaitProgressUnder(folder), "progress under " + folder);
    LONG_PTR style = GetWindowLongPtrA(u.label6, GWL_STYLE);
    Check((style & SS_NOPREFIX) != 0, "progress line shows & as it is");
    CloseHandle(CreateFileA(signal.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    std::string done = signal + ".done";
    Check(WaitUntil([&] { return GetFileAttributesA(done.c_str()) != INVALID_FILE_ATTRIBUTES; }, 30000),
          "screenshot taken");
    Check(u.Label().find('&') != std::string::npos, "progress line holds the &: " + u.Label());
    drv::Click(u.button1);
    u.CheckNotFoundBox("after the screenshot");
    u.Quit();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        fprintf(stderr, "usage: SearchTest SCENARIO UPDATER.EXE [ARG...]\n");
        return 2;
    }
    std::string scenario = argv[1];
    const char* exe = argv[2];
    std::string arg = argc > 3 ? argv[3] : "";
    std::string arg2 = argc > 4 ? argv[4] : "";
    if (scenario == "expect") {
        printf("%s\n", ExpectedRecord().c_str());
        return 0;
    }
    // One case per run: the runner lays out the disks for each.
    check::Suite suite(1, argv);
    gSuite = &suite;
    std::string name = scenario;
    for (int i = 3; i < argc; ++i) name += std::string(" ") + argv[i];
    bool known = true;
    drv::ClearRecord();
    suite.Case(name, [&] {
        if (scenario == "find") ScenarioFind(exe, arg, arg2);
        else if (scenario == "notfound") ScenarioNotFound(exe);
        else if (scenario == "stop") ScenarioStop(exe, arg, false);
        else if (scenario == "stop-queued") ScenarioStop(exe, arg, true);
        else if (scenario == "close") ScenarioClose(exe, arg, arg2);
        else if (scenario == "quit") ScenarioQuit(exe, arg);
        else if (scenario == "snap") ScenarioSnap(exe, arg, arg2.empty() ? "C:\\snap" : arg2);
        else known = false;
        Check(known, "unknown scenario " + scenario);
    });
    drv::ClearRecord();
    return suite.Finish() == 0 ? 0 : 1;
}
