// The automatic search of the real updater, one scenario per run, each on
// drives laid out anew from the trees it names here:
//   SearchTest --list [WORD...]   the scenarios (those whose names hold a word)
//   SearchTest --tree NAME        its trees, for search_tree (search_drives.sh)
//   SearchTest NAME               runs it
// D:, E: and G: are the fixed drives; A:, C:, F: and H: are not, and hold
// the marker in their roots (search_drives.sh).
#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

#include "driver/Updater.h"
#include "resources/Layouts.h"
#include "resources/Names.h"
#include "resources/Texts.h"

namespace {

using check::Expect;
using check::Require;
using drv::FromCp932;
using drv::ReadRecord;
using drv::TextOf;
using drv::WaitUntil;

std::string Progress(const std::string& folder) { return FromCp932(texts::kSearchingPrefix) + folder; }

HWND Button(HWND dialog, int id) { return GetDlgItem(dialog, id); }
std::string ProgressLine(HWND dialog) { return TextOf(GetDlgItem(dialog, kIdLocateLabel6)); }
HWND NotFoundBox(const upd::Running& app) { return app.Window(names::kMessageDialogClass, "", false); }

// The buttons as the Idle state leaves them.
void ExpectIdle(HWND dialog, const std::string& when) {
    check::ExpectEq(TextOf(Button(dialog, kIdLocateButton1)), FromCp932(texts::kAutoSearch), when + ": search button");
    Expect(IsWindowEnabled(Button(dialog, kIdLocateButton2)) && IsWindowEnabled(Button(dialog, kIdLocateButton3)),
           when + ": other buttons enabled");
}

// Starts a search and waits for its progress line to name a folder under folder.
HWND SearchUntilUnder(upd::Running& app, const std::string& folder) {
    HWND dialog = upd::StartToLocateDialog(app, "Setup");
    drv::Click(Button(dialog, kIdLocateButton1));
    Expect(WaitUntil([&] { return ProgressLine(dialog).rfind(Progress(folder), 0) == 0; }, 20000),
           "progress under " + folder + " (read " + ProgressLine(dialog) + ")");
    return dialog;
}

void ExpectNotFoundBox(const upd::Running& app, const std::string& when) {
    HWND box = nullptr;
    if (!WaitUntil([&] { return (box = NotFoundBox(app)) && IsWindowVisible(box); }, 60000)) {
        Expect(false, when + ": not-found box shown");
        return;
    }
    check::ExpectEq(TextOf(box), FromCp932(texts::kInfoCaption), when + ": box caption");
    check::ExpectEq(upd::BoxText(box), FromCp932(texts::kNotFound), when + ": box text");
    HWND only = GetDlgItem(box, kIdMessageButtonFirst);
    Require(only != nullptr, when + ": the box has a button");
    check::ExpectEq(TextOf(only), FromCp932(texts::kButtonAbort), when + ": box button");
    Expect(!GetDlgItem(box, kIdMessageButtonFirst + 1), when + ": one button only");
    LRESULT code = SendMessageA(only, WM_GETDLGCODE, 0, 0);
    Expect(!(code & DLGC_DEFPUSHBUTTON), when + ": button not the default");
    drv::Click(only);
    Expect(WaitUntil([&] { return !IsWindow(box) || !IsWindowVisible(box); }, 5000), when + ": box closed by its button");
}

void ExpectEnded(upd::Running& app) {
    if (!upd::CloseAll(app)) {
        Expect(false, "updater ended");
        app.process.Kill();
    }
}

// The search, found by walking the drives with nothing but FindFirstFile;
// written apart from the program so that both read the same listing order.
bool ReferenceWalk(const std::string& folder, std::string& found, int depth) {
    if (depth > 40) return false;
    WIN32_FIND_DATAW entry;
    HANDLE find = FindFirstFileW(drv::Wide(folder + "\\*.*").c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE) return false;
    bool stopped = false;
    do {
        std::string name = drv::Utf8(entry.cFileName);
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
    } while (FindNextFileW(find, &entry));
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

// The search stores expected and the dialog closes; shown again through the
// main window's change button, it is Idle. With order, prints how that
// folder lists, to show what the case decides.
void Find(const std::string& updater, const std::string& expected, const std::string& order = "") {
    Expect(ExpectedRecord() == expected, "reference walk agrees: " + expected + " (found " + ExpectedRecord() + ")");
    if (!order.empty()) {
        std::string names;
        for (const std::string& name : drv::ListFolder(order)) names += " " + name;
        check::Note(order + " lists:" + names);
    }
    upd::Running app;
    HWND dialog = upd::StartToLocateDialog(app, updater);
    drv::Click(Button(dialog, kIdLocateButton1));
    bool closed = WaitUntil([&] { return !IsWindowVisible(dialog); }, 60000);
    Expect(closed, "dialog closed after the find");
    Expect(!NotFoundBox(app), "no not-found box");
    Expect(ReadRecord() == expected, "record is " + expected + " (read " + ReadRecord() + ")");
    // At the first show the main window appears once the dialog is gone.
    HWND main = app.WaitWindow(kMainWindow.className, "", 10000);
    Expect(main != nullptr, "main window stays");
    if (main) {
        drv::Click(GetDlgItem(main, kIdMainButton4));
        Expect(WaitUntil([&] { return IsWindowVisible(dialog); }, 10000), "dialog shown again");
        ExpectIdle(dialog, "shown again");
    }
    ExpectEnded(app);
}

// No fixed drive holds the marker.
void NotFound(const std::string& updater) {
    upd::Running app;
    HWND dialog = upd::StartToLocateDialog(app, updater);
    drv::Click(Button(dialog, kIdLocateButton1));
    ExpectNotFoundBox(app, "not found");
    ExpectIdle(dialog, "after the box");
    Expect(ReadRecord().empty(), "nothing stored");
    Expect(IsWindowVisible(dialog), "dialog stays open");
    ExpectEnded(app);
}

// Stopped while walking under folder, the box is shown and the progress line
// keeps the last folder begun; a new search starts again at the first drive
// and finds a marker put meanwhile in the root of folder's drive.
void Stop(const std::string& folder, bool queuedClick) {
    upd::Running app;
    HWND dialog = SearchUntilUnder(app, folder);
    HWND search = Button(dialog, kIdLocateButton1);
    check::ExpectEq(TextOf(search), FromCp932(texts::kStopSearch), "search button");
    Expect(!IsWindowEnabled(Button(dialog, kIdLocateButton2)) && !IsWindowEnabled(Button(dialog, kIdLocateButton3)),
           "other buttons disabled");
    drv::Click(search);
    if (queuedClick) drv::Click(search);  // queued behind the stop
    ExpectNotFoundBox(app, "stopped");
    std::string last = ProgressLine(dialog);
    Expect(last.rfind(Progress(folder), 0) == 0, "progress keeps the last folder begun: " + last);
    std::string lastFolder = last.rfind(Progress(""), 0) == 0 ? last.substr(Progress("").size()) : "";
    Expect(drv::IsFolder(lastFolder), "that folder exists: " + lastFolder);
    ExpectIdle(dialog, "after the stop");
    Sleep(500);
    Expect(!NotFoundBox(app), "no second search, no second box");
    Expect(ProgressLine(dialog) == last, "progress line unchanged afterwards");

    std::string root = folder.substr(0, 2);
    std::string marker = root + "\\" + names::kMarkerName;
    Expect(drv::WriteWholeFile(marker, ""), "marker put in " + root);
    drv::Click(search);
    Expect(WaitUntil([&] { return !IsWindowVisible(dialog); }, 60000), "new search found it");
    Expect(ReadRecord() == root + "\\", "record is " + root + "\\");
    DeleteFileA(marker.c_str());
    ExpectEnded(app);
}

// The close box while walking under folder ends the search without the box
// and the dialog goes. Without record nothing is found and, with no folder
// known, the program ends; with record a marker compared while unwinding is
// stored all the same and the program stays.
void CloseBox(const std::string& folder, const std::string& record) {
    upd::Running app;
    HWND dialog = SearchUntilUnder(app, folder);
    DWORD start = GetTickCount();
    drv::Close(dialog);
    bool sawBox = false;
    bool ended = WaitUntil([&] {
        if (NotFoundBox(app)) sawBox = true;
        return !IsWindow(dialog) || !IsWindowVisible(dialog);
    }, 60000);
    Expect(ended, "dialog ended, " + std::to_string(GetTickCount() - start) + " ms after the close");
    Expect(!sawBox, "no not-found box");
    if (record.empty()) {
        Expect(app.process.WaitExit(10000) != -1, "program ended (no folder known)");
        Expect(ReadRecord().empty(), "nothing stored");
    } else {
        Expect(ReadRecord() == record, "record is " + record + " (read " + ReadRecord() + ")");
        Expect(app.process.WaitExit(1000) == -1, "program stays (a folder is known)");
    }
    ExpectEnded(app);
}

// A WM_QUIT that reaches the search's pumping while it walks under folder
// ends the search without the box, and the program ends.
void QuitMessage(const std::string& folder) {
    upd::Running app;
    HWND dialog = SearchUntilUnder(app, folder);
    PostThreadMessageA(GetWindowThreadProcessId(dialog, nullptr), WM_QUIT, 0, 0);
    bool sawBox = false;
    bool exited = WaitUntil([&] {
        if (NotFoundBox(app)) sawBox = true;
        return !app.process.Running();
    }, 60000);
    Expect(exited, "program ended after the quit");
    Expect(!sawBox, "no not-found box");
    Expect(ReadRecord().empty(), "nothing stored");
    ExpectEnded(app);
}

// A search in progress under folder, kept on screen for the screenshot; the
// "&" of its folder shows as it is.
void Screenshot(const std::string& folder) {
    upd::Running app;
    HWND dialog = SearchUntilUnder(app, folder);
    LONG_PTR style = GetWindowLongPtrA(GetDlgItem(dialog, kIdLocateLabel6), GWL_STYLE);
    Expect((style & SS_NOPREFIX) != 0, "progress line shows & as it is");
    Expect(upd::Snap(dialog, upd::ShotName("search")), "screenshot taken");
    Expect(ProgressLine(dialog).find('&') != std::string::npos, "progress line holds the &: " + ProgressLine(dialog));
    drv::Click(Button(dialog, kIdLocateButton1));
    ExpectNotFoundBox(app, "after the screenshot");
    ExpectEnded(app);
}

// A scenario and the trees it walks, one line each: "dir PATH", "file PATH",
// "link PATH TARGET" (a symbolic link), "big PATH" (20,420 folders under
// PATH/big&co, search_big_tree), with PATH under the drive's letter ("e/x").
struct Search {
    std::string name;
    std::vector<std::string> tree;
    std::function<void(const std::string& updater)> run;
    bool alsoAs98 = false;  // once more with the copy that Wine answers as Windows 98
};

const std::vector<Search>& Searches() {
    static const std::vector<Search> searches = {
        {"marker in the root of a fixed drive", {"file e/MG_DATA.MBL", "dir e/sub"},
         [](const std::string& u) { Find(u, "E:\\"); }, true},
        {"marker deep, lower case", {"dir e/a", "file e/x/y/z/mg_data.mbl"},
         [](const std::string& u) { Find(u, "E:\\x\\y\\z\\"); }, true},
        {"marker in mixed case", {"dir e/p/q", "file e/p/Mg_DaTa.MbL"},
         [](const std::string& u) { Find(u, "E:\\p\\"); }, true},
        {"folder named MG_DATA.MBL entered, never matched",
         {"file e/MG_DATA.MBL/inner/other.txt", "file g/h/MG_DATA.MBL"},
         [](const std::string& u) { Find(u, "G:\\h\\"); }, true},
        {"only fixed drives are searched (markers on A: C: F: H:)", {"dir e/one/two", "dir g/three"}, NotFound,
         true},
        {"two markers: the earlier drive wins", {"file e/k/MG_DATA.MBL", "file g/MG_DATA.MBL"},
         [](const std::string& u) { Find(u, "E:\\k\\"); }, true},
        {"two markers: a marker still to be listed in a folder above wins",
         {"file e/b/c0/MG_DATA.MBL", "file e/b/c1/MG_DATA.MBL", "file e/b/c2/MG_DATA.MBL", "file e/b/c3/MG_DATA.MBL",
          "file e/b/c4/MG_DATA.MBL", "file e/b/c5/MG_DATA.MBL", "file e/b/c6/MG_DATA.MBL", "file e/b/c7/MG_DATA.MBL",
          "file e/b/c8/MG_DATA.MBL", "file e/b/c9/MG_DATA.MBL", "file e/b/MG_DATA.MBL"},
         [](const std::string& u) { Find(u, "E:\\b\\", "E:\\b"); }, true},
        {"a cycle of folder links ends",
         {"dir e/loop/deeper", "dir e/zz", "link e/loop/back ..", "link e/loop/self .", "link e/loop/deeper/up ../..",
          "link e/zz/again ../loop", "file g/MG_DATA.MBL"},
         [](const std::string& u) { Find(u, "G:\\"); }, true},
        // Found behind a cycle: stored by its own path, not by one through the links.
        {"a marker behind a cycle of folder links is stored by its own path",
         {"file e/zz/MG_DATA.MBL", "link e/loop/back .."}, [](const std::string& u) { Find(u, "E:\\zz\\"); }, true},
        // "ü" is 0xFC in code page 1252, a lead byte in CP932: the "\" after
        // it is a separator all the same.
        {"marker under a folder whose name ends in a Western letter is found and stored",
         {u8"file d/Spiele/Jürgen/Vesperlin/MG_DATA.MBL"},
         [](const std::string& u) {
             if (!upd::WesternSystem()) check::Skip("needs a Western system (code page 1252)");
             Find(u, u8"D:\\Spiele\\Jürgen\\Vesperlin\\");
         }},
        {"stop: box, last folder kept, Idle; a new search starts again at A", {"big e"},
         [](const std::string&) { Stop("E:\\big&co\\d", false); }},
        {"a click queued behind the stop starts no second search", {"big e"},
         [](const std::string&) { Stop("E:\\big&co\\d", true); }},
        {"close box during a search: no box, the dialog ends", {"big e"},
         [](const std::string&) { CloseBox("E:\\big&co\\d", ""); }},
        // The marker lists after "big&co".
        {"close box during a search: a marker compared while unwinding is stored", {"big e", "file e/MG_DATA.MBL"},
         [](const std::string&) { CloseBox("E:\\big&co\\d", "E:\\"); }},
        {"a quit message during a search: no box, the program ends", {"big e"},
         [](const std::string&) { QuitMessage("E:\\big&co\\d"); }},
        {"screenshot of a search in progress", {"big e"}, [](const std::string&) { Screenshot("E:\\big&co\\d0"); }},
    };
    return searches;
}

constexpr char kAs98[] = "as on Windows 98: ";

// The scenario a name stands for, with the updater it runs; null when none.
const Search* Named(const std::string& name, std::string& updater) {
    for (const Search& s : Searches()) {
        updater = "Setup";
        if (name == s.name) return &s;
        updater = "Setup98";
        if (s.alsoAs98 && name == kAs98 + s.name) return &s;
    }
    return nullptr;
}

}  // namespace

int main(int argc, char** argv) {
    std::string first = argc > 1 ? argv[1] : "";
    if (first == "--list") {
        for (bool as98 : {false, true}) {
            for (const Search& s : Searches()) {
                if (as98 && !s.alsoAs98) continue;
                std::string name = (as98 ? kAs98 : "") + s.name;
                bool wanted = argc <= 2;
                for (int i = 2; i < argc; ++i) wanted = wanted || name.find(argv[i]) != std::string::npos;
                if (wanted) printf("%s\n", name.c_str());
            }
        }
        return 0;
    }
    std::string name = first == "--tree" && argc > 2 ? argv[2] : first;
    std::string updater;
    const Search* search = Named(name, updater);
    if (!search) {
        fprintf(stderr, "usage: SearchTest --list [WORD...] | --tree NAME | NAME (no scenario \"%s\")\n", name.c_str());
        return 2;
    }
    if (first == "--tree") {
        for (const std::string& line : search->tree) printf("%s\n", line.c_str());
        return 0;
    }
    int failed = check::Run(1, argv, {{name, [&] {
        if (updater != "Setup") Require(upd::MakeWindows98Copy("Setup", updater), "cannot make the Windows 98 copy");
        search->run(updater);
    }}});
    drv::ClearRecord();
    return failed == 0 ? 0 : 1;
}
