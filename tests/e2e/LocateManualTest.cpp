// Drives the real updater under Wine through the locate dialog's manual
// setting: starts it, finds its windows, presses their buttons and checks
// what reached the registry and the disk.
//
// Runs in the bed with E2E_UPDATERS (Setup.exe is used), E2E_WORK and,
// optionally, E2E_SHOTS, which receives locate-dialog.bmp and
// folder-picker.bmp. Arguments pick cases by name. Every case starts from a
// cleared record and an empty folder of its own under E2E_WORK.
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>

#include <functional>
#include <string>
#include <vector>

#include "driver/Check.h"
#include "driver/Driver.h"
#include "driver/Updater.h"
#include "resources/Layouts.h"
#include "resources/Names.h"
#include "resources/Texts.h"

namespace {

constexpr int kQuietMs = 1500;  // how long "nothing is shown" is watched for
constexpr char kMainClass[] = "TForm1";
constexpr char kLocateClass[] = "TForm3";
constexpr char kPickerClass[] = "#32770";

check::Suite* gSuite;
std::string gUpdater;
std::string gRoot;  // this program's folder under E2E_WORK
std::string gWork;  // the running case's own folder in it

// Ends the case when condition fails.
void Check(bool condition, const std::string& why) { gSuite->Require(condition, why); }

using drv::ClassOf;
using drv::ReadRecord;
using drv::TextOf;

// Entries of the picker's tree above the subfolders of path: the root and
// each folder down to path itself (plain ASCII paths only).
int TreeDepth(const std::string& path) {
    int separators = 0;
    for (char c : path) separators += c == '\\';
    return separators + 1;
}

bool IsFolder(const std::string& path) {
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool IsFile(const std::string& path) {
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

void MakeFolder(const std::string& path) {
    for (size_t i = 3; i <= path.size(); ++i) {
        if (i == path.size() || path[i] == '\\') CreateDirectoryA(path.substr(0, i).c_str(), nullptr);
    }
    Check(IsFolder(path), "cannot make " + path);
}

void PutFile(const std::string& path) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    Check(file != INVALID_HANDLE_VALUE, "cannot write " + path);
    DWORD written;
    WriteFile(file, "marker", 6, &written, nullptr);
    CloseHandle(file);
}

// Leaves nothing of an earlier run behind.
void RemoveTree(const std::string& path) {
    WIN32_FIND_DATAA entry;
    HANDLE find = FindFirstFileA((path + "\\*").c_str(), &entry);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            std::string name = entry.cFileName;
            if (name == "." || name == "..") continue;
            std::string child = path + "\\" + name;
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) RemoveTree(child);
            else DeleteFileA(child.c_str());
        } while (FindNextFileA(find, &entry));
        FindClose(find);
    }
    RemoveDirectoryA(path.c_str());
}

// A folder that the game's installer would have filled.
std::string GameFolder(const std::string& name) {
    std::string folder = gWork + "\\" + name;
    MakeFolder(folder);
    PutFile(folder + "\\MG_DATA.MBL");
    return folder;
}

// The updater, started in cwd, its current folder, where the picker opens.
class Updater {
public:
    explicit Updater(std::string cwd = gWork + "\\cwd") {
        MakeFolder(cwd);
        Check(bed::Launch(gUpdater, running_, cwd), "cannot start " + gUpdater);
    }

    HWND Visible(const char* windowClass, const char* caption = nullptr) const {
        return running_.Window(windowClass, caption);
    }

    // Waits until the window shows; `forbidden` (a class) must not show meanwhile.
    HWND WaitFor(const char* windowClass, const char* caption = nullptr, const char* forbidden = nullptr) const {
        HWND found = nullptr;
        drv::WaitUntil([&] {
            if (forbidden) Check(!Visible(forbidden), std::string(forbidden) + " showed too early");
            found = Visible(windowClass, caption);
            Check(found || !Ended(), std::string("ended while waiting for ") + windowClass);
            return found != nullptr;
        });
        Check(found != nullptr, std::string("no window ") + windowClass + " " + (caption ? caption : ""));
        return found;
    }

    void WaitGone(HWND window, const char* what) const {
        Check(drv::WaitGone(window), std::string(what) + " stayed up");
    }

    // Watches for a while that exactly these windows stay up, and no other.
    void ExpectOnly(std::vector<HWND> expected, const char* what) const {
        drv::WaitUntil([&] {
            for (HWND window : running_.Windows()) {
                bool known = false;
                for (HWND e : expected) known = known || e == window;
                Check(known, std::string(what) + ": unexpected window " + ClassOf(window) + " \"" +
                                 TextOf(window) + "\" (" + TextOf(GetDlgItem(window, kIdMessageText)) + ")");
            }
            for (HWND e : expected) Check(IsWindowVisible(e), std::string(what) + ": a window went away");
            return false;
        }, kQuietMs);
    }

    bool Ended() const { return running_.Ended(); }

    long WaitExit() const {
        long code = running_.process.WaitExit();
        Check(code != -1, "the updater did not end");
        return code;
    }

private:
    bed::Running running_;
};

// Presses a button the way a click does, without needing the window active.
void Press(HWND window, int id) {
    PostMessageA(window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(window, id)));
}

void CloseBox(HWND window) { PostMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0); }

// Presses the button of a message box that has caption.
void Answer(HWND box, const char* caption) {
    for (int id = kIdMessageButtonFirst; id < kIdMessageButtonFirst + 3; ++id) {
        HWND button = GetDlgItem(box, id);
        if (button && TextOf(button) == caption) return Press(box, id);
    }
    Check(false, std::string("no button ") + caption);
}

HWND OpenPicker(const Updater& updater, HWND locate) {
    Press(locate, kIdLocateButton2);
    return updater.WaitFor(kPickerClass, texts::kSelectCaption);
}

void TypeFolder(HWND picker, const std::string& folder) {
    HWND field = GetDlgItem(picker, kIdPickerName);
    Check(field != nullptr, "the picker has no folder name field");
    SendMessageTimeoutA(field, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(folder.c_str()), SMTO_ABORTIFHUNG, 2000,
                        nullptr);
}

// Picks folder in the manual setting and presses OK.
HWND PickAndAccept(const Updater& updater, HWND locate, const std::string& folder) {
    HWND picker = OpenPicker(updater, locate);
    TypeFolder(picker, folder);
    Press(picker, IDOK);
    return picker;
}

void QuitFromMain(const Updater& updater, HWND main) {
    Press(main, kIdMainButton3);
    Check(updater.WaitExit() == 0, "exit code not 0");
}

bool Centred(HWND window) {
    RECT r;
    GetWindowRect(window, &r);
    int width = r.right - r.left;
    int height = r.bottom - r.top;
    return r.left == (GetSystemMetrics(SM_CXSCREEN) - width) / 2 &&
           r.top == (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
}

// ---- scenarios ----

void FirstStartExitEndsProgram(bool closeBox) {
    Updater updater;
    HWND locate = updater.WaitFor(kLocateClass, texts::kLocateCaption, kMainClass);
    Check(Centred(locate), "locate dialog not centred");
    if (closeBox) CloseBox(locate);
    else Press(locate, kIdLocateButton3);
    drv::WaitUntil([&] {
        Check(!updater.Visible(kMainClass), "main window showed");
        return updater.Ended();
    });
    Check(updater.WaitExit() == 0, "exit code not 0");
    Check(ReadRecord().empty(), "record written: " + ReadRecord());
}

void PickerOpensAtCurrentFolderAndCancelChangesNothing() {
    Updater updater;
    HWND locate = updater.WaitFor(kLocateClass, texts::kLocateCaption);
    HWND picker = OpenPicker(updater, locate);
    std::string field = TextOf(GetDlgItem(picker, kIdPickerName));
    Check(lstrcmpiA(field.c_str(), (gWork + "\\cwd").c_str()) == 0, "picker opened at " + field);
    Check(Centred(picker), "picker not centred");
    Press(picker, IDCANCEL);
    updater.WaitGone(picker, "picker");
    updater.ExpectOnly({locate}, "after cancel");

    // The close box cancels too, even with a folder typed in.
    picker = OpenPicker(updater, locate);
    TypeFolder(picker, GameFolder("cancelled"));
    CloseBox(picker);
    updater.WaitGone(picker, "picker");
    updater.ExpectOnly({locate}, "after the close box");
    Check(ReadRecord().empty(), "record written: " + ReadRecord());
    CloseBox(locate);
    Check(updater.WaitExit() == 0, "exit code not 0");
}

void MarkerFolderIsStoredWithOneSeparator(const std::string& typed, const std::string& stored) {
    Updater updater;
    HWND locate = updater.WaitFor(kLocateClass, texts::kLocateCaption);
    HWND picker = PickAndAccept(updater, locate, typed);
    updater.WaitGone(picker, "picker");
    updater.WaitGone(locate, "locate dialog");
    HWND main = updater.WaitFor(kMainClass, texts::kMainCaption);
    Check(ReadRecord() == stored, "record holds " + ReadRecord() + ", want " + stored);
    QuitFromMain(updater, main);
}

// A drive root is stored as the returned "C:\" plus one more "\", and
// the update still lands in the root.
void DriveRootIsStoredWithOneMoreSeparatorAndUpdated() {
    const std::string marker = "C:\\mg_data.mbl";
    const std::string game = std::string("C:\\") + names::kTargetFile;
    struct Cleanup {
        std::string marker, game;
        ~Cleanup() {
            DeleteFileA(marker.c_str());
            DeleteFileA(game.c_str());
        }
    } cleanup{marker, game};
    PutFile(marker);
    Updater updater;
    HWND locate = updater.WaitFor(kLocateClass, texts::kLocateCaption);
    HWND picker = PickAndAccept(updater, locate, "C:\\");
    updater.WaitGone(picker, "picker");
    updater.WaitGone(locate, "locate dialog");
    HWND main = updater.WaitFor(kMainClass, texts::kMainCaption);
    Check(ReadRecord() == "C:\\\\", "record holds " + ReadRecord() + ", want C:\\\\");
    Press(main, kIdMainButton1);
    HWND done = updater.WaitFor(names::kMessageDialogClass, texts::kInfoCaption);
    Check(TextOf(GetDlgItem(done, kIdMessageText)) == texts::kUpdateDone, "no completion message");
    Answer(done, texts::kButtonOk);
    Check(updater.WaitExit() == 0, "exit code not 0");
    Check(IsFile(game), "kestravon.exe not written to the root");
}

// A name typed after the tree was moved into a subfolder names a folder
// there, not one beside it in the updater's own current folder.
void RelativeNameIsTakenFromTheShownFolder() {
    std::string wanted = GameFolder("cwd\\shown\\rel");
    GameFolder("cwd\\rel");  // where the process's current folder would lead
    Updater updater;
    HWND locate = updater.WaitFor(kLocateClass, texts::kLocateCaption);
    HWND picker = OpenPicker(updater, locate);
    // cwd's subfolders in name order, "rel" then "shown": open the last.
    HWND tree = GetDlgItem(picker, kIdPickerTree);
    int last = static_cast<int>(SendMessageA(tree, LB_GETCOUNT, 0, 0)) - 1;
    Check(last == TreeDepth(gWork + "\\cwd") + 1, "the tree shows " + std::to_string(last + 1) + " entries");
    SendMessageA(tree, LB_SETCURSEL, last, 0);
    PostMessageA(picker, WM_COMMAND, MAKEWPARAM(kIdPickerTree, LBN_DBLCLK), reinterpret_cast<LPARAM>(tree));
    std::string field;
    drv::WaitUntil([&] { return (field = TextOf(GetDlgItem(picker, kIdPickerName))) == gWork + "\\cwd\\shown"; },
                   3000);
    Check(field == gWork + "\\cwd\\shown", "the tree did not open shown: " + field);
    TypeFolder(picker, "rel");
    Press(picker, IDOK);
    updater.WaitGone(picker, "picker");
    updater.WaitGone(locate, "locate dialog");
    HWND main = updater.WaitFor(kMainClass, texts::kMainCaption);
    Check(ReadRecord() == wanted + "\\", "record holds " + ReadRecord() + ", want " + wanted + "\\");
    QuitFromMain(updater, main);
}

void FolderWithoutMarkerFileStoresNothing(const std::string& folder) {
    Updater updater;
    HWND locate = updater.WaitFor(kLocateClass, texts::kLocateCaption);
    HWND picker = PickAndAccept(updater, locate, folder);
    updater.WaitGone(picker, "picker");
    updater.ExpectOnly({locate}, "after a folder without the marker");
    Check(ReadRecord().empty(), "record written: " + ReadRecord());
    Press(locate, kIdLocateButton3);
    Check(updater.WaitExit() == 0, "exit code not 0");
}

void NewFolderIsCreatedOnYesButNotStored() {
    std::string folder = gWork + "\\new\\deeper\\新規表";  // 表 ends in 0x5C
    Updater updater;
    HWND locate = updater.WaitFor(kLocateClass, texts::kLocateCaption);

    // "No" keeps the picker open and creates nothing.
    HWND picker = PickAndAccept(updater, locate, folder);
    HWND ask = updater.WaitFor(names::kMessageDialogClass, texts::kConfirmCaption);
    Check(TextOf(GetDlgItem(ask, kIdMessageText)) == texts::kCreateFolderQuestion, "wrong question");
    Answer(ask, texts::kButtonNo);
    updater.WaitGone(ask, "question");
    updater.ExpectOnly({locate, picker}, "after no");
    Check(!IsFolder(gWork + "\\new"), "created after no");

    Press(picker, IDOK);
    ask = updater.WaitFor(names::kMessageDialogClass, texts::kConfirmCaption);
    Answer(ask, texts::kButtonYes);
    updater.WaitGone(picker, "picker");
    updater.ExpectOnly({locate}, "after yes");
    Check(IsFolder(folder), "folder not created");
    Check(ReadRecord().empty(), "record written: " + ReadRecord());
    Press(locate, kIdLocateButton3);
    Check(updater.WaitExit() == 0, "exit code not 0");
}

void EmptyPathShowsCannotCreate() {
    Updater updater;
    HWND locate = updater.WaitFor(kLocateClass, texts::kLocateCaption);
    HWND picker = PickAndAccept(updater, locate, "");
    HWND ask = updater.WaitFor(names::kMessageDialogClass, texts::kConfirmCaption);
    Answer(ask, texts::kButtonYes);
    updater.WaitGone(picker, "picker");
    HWND error = nullptr;
    drv::WaitUntil([&] {
        HWND box = updater.Visible(names::kMessageDialogClass);
        if (box && box != ask) error = box;
        return error != nullptr;
    });
    Check(error != nullptr, "no error shown");
    std::string text = TextOf(GetDlgItem(error, kIdMessageText));
    Check(text == std::string(texts::kCannotCreateFolder) + ".", "error text: " + text);
    Answer(error, texts::kButtonOk);
    updater.WaitGone(error, "error box");
    updater.ExpectOnly({locate}, "after the error");
    Check(ReadRecord().empty(), "record written: " + ReadRecord());
    Press(locate, kIdLocateButton3);
    Check(updater.WaitExit() == 0, "exit code not 0");
}

void HelpExplainsAndDriveListOpensItsRoot() {
    Updater updater;
    HWND locate = updater.WaitFor(kLocateClass, texts::kLocateCaption);
    HWND picker = OpenPicker(updater, locate);
    Press(picker, kIdPickerHelp);
    HWND help = updater.WaitFor(names::kMessageDialogClass, texts::kInfoCaption);
    Check(TextOf(GetDlgItem(help, kIdMessageText)) == texts::kSelectHelpText, "wrong help text");
    Answer(help, texts::kButtonOk);
    updater.WaitGone(help, "help");
    updater.ExpectOnly({locate, picker}, "after help");

    HWND drives = GetDlgItem(picker, kIdPickerDrives);
    Check(SendMessageA(drives, CB_GETCOUNT, 0, 0) >= 1, "no drives listed");
    SendMessageA(drives, CB_SETCURSEL, 0, 0);
    PostMessageA(picker, WM_COMMAND, MAKEWPARAM(kIdPickerDrives, CBN_SELCHANGE), reinterpret_cast<LPARAM>(drives));
    Sleep(500);
    std::string field = TextOf(GetDlgItem(picker, kIdPickerName));
    Check(field == "C:\\", "the drive opened at " + field);
    Press(picker, IDCANCEL);
    updater.WaitGone(picker, "picker");
    Press(locate, kIdLocateButton3);
    Check(updater.WaitExit() == 0, "exit code not 0");
    Check(ReadRecord().empty(), "record written: " + ReadRecord());
}

void Keys(std::initializer_list<WORD> keys) {
    for (WORD key : keys) {
        INPUT input[2] = {};
        input[0].type = input[1].type = INPUT_KEYBOARD;
        input[0].ki.wVk = input[1].ki.wVk = key;
        input[1].ki.dwFlags = KEYEVENTF_KEYUP;
        SendInput(2, input, sizeof input[0]);
        Sleep(300);
    }
}

// Enter in the tree opens the folder instead of accepting; Esc cancels.
void KeyboardOpensFoldersAndEscCancels() {
    MakeFolder(gWork + "\\cwd\\b");
    MakeFolder(gWork + "\\cwd\\a\\inner1");
    MakeFolder(gWork + "\\cwd\\a\\inner2");
    Updater updater;
    HWND locate = updater.WaitFor(kLocateClass, texts::kLocateCaption);
    HWND picker = OpenPicker(updater, locate);
    SetForegroundWindow(picker);
    Sleep(300);
    HWND tree = GetDlgItem(picker, kIdPickerTree);
    int before = static_cast<int>(SendMessageA(tree, LB_GETCOUNT, 0, 0));
    Keys({VK_TAB, VK_DOWN});  // to the tree, then onto "a"
    std::string field = TextOf(GetDlgItem(picker, kIdPickerName));
    Check(field == gWork + "\\cwd\\a", "selecting did not fill the field: " + field);
    Keys({VK_RETURN});
    Check(IsWindowVisible(picker), "Enter in the tree accepted");
    int after = static_cast<int>(SendMessageA(tree, LB_GETCOUNT, 0, 0));
    // Before: the folders down to cwd, then a and b; once a is open: the
    // same down to a, then inner1 and inner2.
    int depth = TreeDepth(gWork + "\\cwd");
    Check(before == depth + 2 && after == depth + 3, "the tree did not open a (" + std::to_string(before) +
                                                         " -> " + std::to_string(after) + " entries)");
    Check(SendMessageA(tree, LB_GETCURSEL, 0, 0) == depth, "a is not the selected folder");
    Keys({VK_ESCAPE});
    updater.WaitGone(picker, "picker");
    updater.ExpectOnly({locate}, "after Esc");
    Check(ReadRecord().empty(), "record written: " + ReadRecord());
    Press(locate, kIdLocateButton3);
    Check(updater.WaitExit() == 0, "exit code not 0");
}

HWND FocusOf(HWND window) {
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info);
    return info.hwndFocus;
}

// The frame, the keys and the owner: a fixed frame with the close box only
// around a 418 x 175 client area; Esc does nothing and no button is the
// default; Tab goes round the three buttons in order and Enter presses the
// focused one; the main window takes no input meanwhile and is active again
// afterwards.
void DialogFrameKeysAndOwner() {
    Check(drv::SetRecordString(GameFolder("game") + "\\"), "cannot set the record");
    Updater updater;
    HWND main = updater.WaitFor(kMainClass, texts::kMainCaption);
    Press(main, kIdMainButton4);
    HWND locate = updater.WaitFor(kLocateClass, texts::kLocateCaption);
    RECT client;
    GetClientRect(locate, &client);
    Check(client.right == 418 && client.bottom == 175,
          "client area " + std::to_string(client.right) + " x " + std::to_string(client.bottom));
    LONG style = GetWindowLongA(locate, GWL_STYLE);
    Check((style & WS_SYSMENU) && !(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME)),
          "frame is not fixed with the close box only");
    Check(!IsWindowEnabled(main), "main window takes input under the dialog");
    const int buttons[] = {kIdLocateButton1, kIdLocateButton2, kIdLocateButton3};
    for (int id : buttons) {
        Check((GetWindowLongA(GetDlgItem(locate, id), GWL_STYLE) & 0x0F) == BS_PUSHBUTTON,
              "button " + std::to_string(id) + " is not a plain push button");
    }

    SetForegroundWindow(locate);
    Sleep(300);
    Check(FocusOf(locate) == GetDlgItem(locate, kIdLocateButton1), "the first button has no focus");
    Keys({VK_ESCAPE});
    updater.ExpectOnly({main, locate}, "after Esc");
    for (int i = 1; i <= 3; ++i) {
        Keys({VK_TAB});
        Check(FocusOf(locate) == GetDlgItem(locate, buttons[i % 3]), "Tab " + std::to_string(i) + " went astray");
    }
    Keys({VK_TAB, VK_TAB});  // onto "終了"
    Keys({VK_RETURN});
    updater.WaitGone(locate, "locate dialog");
    Check(IsWindowEnabled(main), "main window left disabled");
    Check(drv::WaitUntil([&] { return GetForegroundWindow() == main; }, 3000), "main window not active again");
    Check(IsWindow(locate), "dialog destroyed instead of hidden");
    QuitFromMain(updater, main);
}

void MovedDialogIsCentredAgain() {
    Check(drv::SetRecordString(GameFolder("game") + "\\"), "cannot set the record");
    Updater updater;
    HWND main = updater.WaitFor(kMainClass, texts::kMainCaption);
    Press(main, kIdMainButton4);
    HWND locate = updater.WaitFor(kLocateClass, texts::kLocateCaption);
    Check(Centred(locate), "not centred at the first showing");
    SetWindowPos(locate, nullptr, 3, 5, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    Sleep(200);
    Check(!Centred(locate), "could not move the dialog");
    Press(locate, kIdLocateButton3);
    updater.WaitGone(locate, "locate dialog");
    Press(main, kIdMainButton4);
    locate = updater.WaitFor(kLocateClass, texts::kLocateCaption);
    Check(Centred(locate), "not centred at the next showing");
    Press(locate, kIdLocateButton3);
    updater.WaitGone(locate, "locate dialog");
    QuitFromMain(updater, main);
}

void ChangedDestinationIsUpdated() {
    std::string before = GameFolder("before");
    std::string after = GameFolder("after");
    Check(drv::SetRecordString(before + "\\"), "cannot set the record");
    Updater updater;
    HWND main = updater.WaitFor(kMainClass, texts::kMainCaption);
    Press(main, kIdMainButton4);
    HWND locate = updater.WaitFor(kLocateClass, texts::kLocateCaption);
    PickAndAccept(updater, locate, after);
    updater.WaitGone(locate, "locate dialog");
    Check(ReadRecord() == after + "\\", "record holds " + ReadRecord());
    Press(main, kIdMainButton1);
    HWND done = updater.WaitFor(names::kMessageDialogClass, texts::kInfoCaption);
    Check(TextOf(GetDlgItem(done, kIdMessageText)) == texts::kUpdateDone, "no completion message");
    Answer(done, texts::kButtonOk);
    Check(updater.WaitExit() == 0, "exit code not 0");
    Check(IsFile(after + "\\" + names::kTargetFile), "new folder not updated");
    Check(!IsFile(before + "\\" + names::kTargetFile), "old folder updated");
}

// ---- screenshots ----

void Snap(HWND window, const std::string& name) { Check(bed::Snap(window, name), "cannot save " + name); }

void Screenshots() {
    // Right under E2E_WORK, so that the picture shows a short tree.
    std::string games = std::string(getenv("E2E_WORK")) + "\\Games";
    MakeFolder(games + "\\Vesperlin");
    PutFile(games + "\\Vesperlin\\MG_DATA.MBL");
    MakeFolder(games + "\\Other");
    Updater updater(games);
    HWND locate = updater.WaitFor(kLocateClass, texts::kLocateCaption);
    Snap(locate, "locate-dialog");
    HWND picker = OpenPicker(updater, locate);
    // Select the game's folder the way a click does: the subfolders come in
    // name order after the folders above, so "Vesperlin" is the last.
    // (Wine passes owner-drawn list texts across processes cut short, so
    // the entry cannot be found by its text from here.)
    HWND tree = GetDlgItem(picker, kIdPickerTree);
    int last = static_cast<int>(SendMessageA(tree, LB_GETCOUNT, 0, 0)) - 1;
    Check(last == TreeDepth(games) + 1, "the tree shows " + std::to_string(last + 1) + " entries");
    SendMessageA(tree, LB_SETCURSEL, last, 0);
    PostMessageA(picker, WM_COMMAND, MAKEWPARAM(kIdPickerTree, LBN_SELCHANGE), reinterpret_cast<LPARAM>(tree));
    std::string field;
    drv::WaitUntil([&] { return (field = TextOf(GetDlgItem(picker, kIdPickerName))) == games + "\\Vesperlin"; },
                   3000);
    Check(field == games + "\\Vesperlin", "selection not in the field: " + field);
    Snap(picker, "folder-picker");
    Press(picker, IDCANCEL);
    updater.WaitGone(picker, "picker");
    Press(locate, kIdLocateButton3);
    Check(updater.WaitExit() == 0, "exit code not 0");
}

struct Scenario {
    const char* name;
    std::function<void()> run;
};

}  // namespace

int main(int argc, char** argv) {
    check::Suite suite(argc, argv);
    gSuite = &suite;
    const char* updaters = getenv("E2E_UPDATERS");
    const char* work = getenv("E2E_WORK");
    if (!updaters || !work) {
        fprintf(stderr, "E2E_UPDATERS and E2E_WORK must name the bed's folders\n");
        return 2;
    }
    gUpdater = std::string(updaters) + "\\Setup.exe";
    gRoot = std::string(work) + "\\locate-manual";
    MakeFolder(gRoot);
    const std::vector<Scenario> scenarios = {
        {"first-start-exit-button-ends-program", [] { FirstStartExitEndsProgram(false); }},
        {"first-start-close-box-ends-program", [] { FirstStartExitEndsProgram(true); }},
        {"picker-opens-at-current-folder-cancel-changes-nothing", PickerOpensAtCurrentFolderAndCancelChangesNothing},
        {"marker-folder-stored-with-one-separator",
         [] { std::string f = GameFolder("ok"); MarkerFolderIsStoredWithOneSeparator(f, f + "\\"); }},
        // The returned path plus one "\", nothing added or removed.
        {"marker-folder-typed-with-separator-gets-one-more",
         [] { std::string f = GameFolder("slash"); MarkerFolderIsStoredWithOneSeparator(f + "\\", f + "\\\\"); }},
        {"relative-name-stored-as-full-path",
         [] {
             std::string f = GameFolder("cwd\\rel");
             MarkerFolderIsStoredWithOneSeparator("rel", f + "\\");
         }},
        {"relative-name-taken-from-the-shown-folder", RelativeNameIsTakenFromTheShownFolder},
        {"drive-root-stored-with-one-more-separator-and-updated", DriveRootIsStoredWithOneMoreSeparatorAndUpdated},
        {"help-explains-drive-list-opens-root", HelpExplainsAndDriveListOpensItsRoot},
        {"keyboard-opens-folders-esc-cancels", KeyboardOpensFoldersAndEscCancels},
        {"folder-without-marker-stores-nothing",
         [] { MakeFolder(gWork + "\\plain"); FolderWithoutMarkerFileStoresNothing(gWork + "\\plain"); }},
        {"marker-named-folder-stores-nothing",
         [] {
             MakeFolder(gWork + "\\fake\\mg_data.mbl");
             FolderWithoutMarkerFileStoresNothing(gWork + "\\fake");
         }},
        {"new-folder-created-on-yes-not-stored", NewFolderIsCreatedOnYesButNotStored},
        {"empty-path-shows-cannot-create", EmptyPathShowsCannotCreate},
        {"dialog-frame-keys-and-owner", DialogFrameKeysAndOwner},
        {"moved-dialog-centred-again", MovedDialogIsCentredAgain},
        {"changed-destination-is-updated", ChangedDestinationIsUpdated},
        {"screenshots", Screenshots},
    };
    for (const Scenario& s : scenarios) {
        suite.Case(s.name, [&] {
            drv::ClearRecord();
            gWork = gRoot + "\\" + s.name;
            RemoveTree(gWork);
            MakeFolder(gWork);
            s.run();
        });
        drv::ClearRecord();
    }
    return suite.Finish();
}
