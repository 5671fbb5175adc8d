// The locate dialog's manual setting on the real updater: its windows, their
// buttons and keys, and what reached the registry and the disk. Every case
// starts from a cleared record and an empty folder of its own under E2E_WORK;
// the locate dialog and the folder picker land in E2E_SHOTS.
#include <ctype.h>

#include <string>
#include <vector>

#include "driver/Updater.h"
#include "resources/Layouts.h"
#include "resources/Names.h"
#include "resources/Texts.h"

namespace {

using check::Require;
using drv::FromCp932;
using drv::ReadRecord;
using drv::TextOf;

std::string gWork;  // the running case's own folder

// Entries of the picker's tree above the subfolders of path: the root and
// each folder down to path itself.
int TreeDepth(const std::string& path) {
    int separators = 0;
    for (char c : path) separators += c == '\\';
    return separators + 1;
}

void MakeFolder(const std::string& path) {
    Require(drv::MakeFolder(path), "cannot make " + path);
}

// A folder that the game's installer would have filled.
std::string GameFolder(const std::string& name) {
    std::string folder = gWork + "\\" + name;
    MakeFolder(folder);
    Require(drv::WriteWholeFile(folder + "\\" + names::kMarkerName, "marker"), "cannot write the marker");
    return folder;
}

void RecordEmpty() {
    Require(ReadRecord().empty(), "record written: " + ReadRecord());
}

void RecordIs(const std::string& wanted) {
    Require(ReadRecord() == wanted, "record holds " + ReadRecord() + ", want " + wanted);
}

void ExitsWithZero(const upd::Running& app) {
    Require(app.WaitExit() == 0, "exit code not 0");
}

// The updater's current folder, where the picker opens: the case's cwd
// unless given, made first.
std::string Cwd(const std::string& folder = "") {
    std::string cwd = folder.empty() ? gWork + "\\cwd" : folder;
    MakeFolder(cwd);
    return cwd;
}

// Started with the record pointing at a game folder: the main window.
HWND StartToMainWindow(upd::Running& app, const std::string& record) {
    Require(drv::SetRecordString(record), "cannot set the record");
    Require(upd::StartUpdater("Setup", app, Cwd()), "the main window never appeared");
    return app.main;
}

HWND OpenLocateDialog(const upd::Running& app, HWND main) {
    drv::Press(main, kIdMainButton4);
    return app.WaitLocateDialog();
}

void QuitFromMain(const upd::Running& app, HWND main) {
    drv::Press(main, kIdMainButton3);
    ExitsWithZero(app);
}

void QuitFromLocate(const upd::Running& app, HWND locate) {
    drv::Press(locate, kIdLocateButton3);
    ExitsWithZero(app);
}

void FirstStartExitEndsProgram(bool closeBox) {
    upd::Running app;
    drv::ClearRecord();
    Require(upd::Launch(upd::UpdaterPath("Setup"), app, Cwd()), "cannot start Setup.exe");
    HWND locate = app.WaitFor(kLocateWindow.className, "", kMainWindow.className);
    check::ExpectEq(TextOf(locate), FromCp932(texts::kLocateCaption), "caption of the locate dialog");
    Require(drv::Centred(locate), "locate dialog not centred");
    if (closeBox) drv::Close(locate);
    else drv::Press(locate, kIdLocateButton3);
    drv::WaitUntil([&] {
        Require(!app.Window(kMainWindow.className), "main window showed");
        return app.Ended();
    });
    ExitsWithZero(app);
    RecordEmpty();
}

void PickerOpensAtCurrentFolderAndCancelChangesNothing() {
    upd::Running app;
    HWND locate = upd::StartToLocateDialog(app, "Setup", Cwd());
    HWND picker = upd::OpenPicker(app, locate);
    std::string field = TextOf(GetDlgItem(picker, kIdPickerName));
    Require(CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE, drv::Wide(field).c_str(), -1,
                           drv::Wide(gWork + "\\cwd").c_str(), -1) == CSTR_EQUAL,
            "picker opened at " + field);
    Require(drv::Centred(picker), "picker not centred");
    drv::Press(picker, IDCANCEL);
    Require(drv::WaitGone(picker), "picker stayed up");
    app.ExpectOnly({locate}, "after cancel");

    // The close box cancels too, even with a folder typed in.
    picker = upd::OpenPicker(app, locate);
    upd::TypeFolder(picker, GameFolder("cancelled"));
    drv::Close(picker);
    Require(drv::WaitGone(picker), "picker stayed up");
    app.ExpectOnly({locate}, "after the close box");
    RecordEmpty();
    drv::Close(locate);
    ExitsWithZero(app);
}

void MarkerFolderIsStored(const std::string& typed, const std::string& stored, const std::string& cwd = "") {
    upd::Running app;
    HWND locate = upd::StartToLocateDialog(app, "Setup", Cwd(cwd));
    HWND picker = upd::PickAndAccept(app, locate, typed);
    Require(drv::WaitGone(picker), "picker stayed up");
    Require(drv::WaitGone(locate), "locate dialog stayed up; shown: " + app.Shown());
    HWND main = app.WaitMainWindow();
    RecordIs(stored);
    QuitFromMain(app, main);
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
    Require(drv::WriteWholeFile(marker, "marker"), "cannot write " + marker);
    upd::Running app;
    HWND locate = upd::StartToLocateDialog(app, "Setup", Cwd());
    HWND picker = upd::PickAndAccept(app, locate, "C:\\");
    Require(drv::WaitGone(picker), "picker stayed up");
    Require(drv::WaitGone(locate), "locate dialog stayed up");
    app.main = app.WaitMainWindow();
    RecordIs("C:\\\\");
    upd::ExpectUpdateInto(app, "Setup", "C:");
}

// Opens the last subfolder the picker's tree lists (the subfolders come in
// name order after the folders above) the way a double click or a selection
// does, and waits for the name field to show it. Wine passes owner-drawn
// list texts across processes cut short, so the entry cannot be found by its
// text from here.
void ChooseLastSubfolder(HWND picker, const std::string& shown, WORD notification, const std::string& wanted) {
    HWND tree = GetDlgItem(picker, kIdPickerTree);
    int last = static_cast<int>(SendMessageA(tree, LB_GETCOUNT, 0, 0)) - 1;
    Require(last == TreeDepth(shown) + 1, "the tree shows " + std::to_string(last + 1) + " entries");
    SendMessageA(tree, LB_SETCURSEL, last, 0);
    PostMessageA(picker, WM_COMMAND, MAKEWPARAM(kIdPickerTree, notification), reinterpret_cast<LPARAM>(tree));
    std::string field;
    drv::WaitUntil([&] { return (field = TextOf(GetDlgItem(picker, kIdPickerName))) == wanted; }, 3000);
    Require(field == wanted, "the field shows " + field + ", not " + wanted);
}

// A name typed after the tree was moved into a subfolder names a folder
// there, not one beside it in the updater's own current folder.
void RelativeNameIsTakenFromTheShownFolder() {
    std::string wanted = GameFolder("cwd\\shown\\rel");
    GameFolder("cwd\\rel");  // where the process's current folder would lead
    upd::Running app;
    HWND locate = upd::StartToLocateDialog(app, "Setup", Cwd());
    HWND picker = upd::OpenPicker(app, locate);
    // cwd's subfolders in name order, "rel" then "shown": open the last.
    ChooseLastSubfolder(picker, gWork + "\\cwd", LBN_DBLCLK, gWork + "\\cwd\\shown");
    upd::TypeFolder(picker, "rel");
    drv::Press(picker, IDOK);
    Require(drv::WaitGone(picker), "picker stayed up");
    Require(drv::WaitGone(locate), "locate dialog stayed up");
    HWND main = app.WaitMainWindow();
    RecordIs(wanted + "\\");
    QuitFromMain(app, main);
}

void FolderWithoutMarkerFileStoresNothing(const std::string& folder) {
    upd::Running app;
    HWND locate = upd::StartToLocateDialog(app, "Setup", Cwd());
    HWND picker = upd::PickAndAccept(app, locate, folder);
    Require(drv::WaitGone(picker), "picker stayed up");
    app.ExpectOnly({locate}, "after a folder without the marker");
    RecordEmpty();
    QuitFromLocate(app, locate);
}

void NewFolderIsCreatedOnYesButNotStored() {
    std::string folder = gWork + u8"\\new\\deeper\\新規表";  // 表 ends in 0x5C in CP932
    upd::Running app;
    HWND locate = upd::StartToLocateDialog(app, "Setup", Cwd());
    const std::string confirm = FromCp932(texts::kConfirmCaption);

    // "No" keeps the picker open and creates nothing.
    HWND picker = upd::PickAndAccept(app, locate, folder);
    HWND ask = app.WaitFor(names::kMessageDialogClass, confirm);
    Require(upd::BoxText(ask) == FromCp932(texts::kCreateFolderQuestion), "wrong question: " + upd::BoxText(ask));
    upd::Answer(ask, texts::kButtonNo);
    Require(drv::WaitGone(ask), "question stayed up");
    app.ExpectOnly({locate, picker}, "after no");
    Require(!drv::IsFolder(gWork + "\\new"), "created after no");

    drv::Press(picker, IDOK);
    ask = app.WaitFor(names::kMessageDialogClass, confirm);
    upd::Answer(ask, texts::kButtonYes);
    Require(drv::WaitGone(picker), "picker stayed up");
    app.ExpectOnly({locate}, "after yes");
    Require(drv::IsFolder(folder), "folder not created");
    RecordEmpty();
    QuitFromLocate(app, locate);
}

void EmptyPathShowsCannotCreate() {
    upd::Running app;
    HWND locate = upd::StartToLocateDialog(app, "Setup", Cwd());
    HWND picker = upd::PickAndAccept(app, locate, "");
    HWND ask = app.WaitFor(names::kMessageDialogClass, FromCp932(texts::kConfirmCaption));
    upd::Answer(ask, texts::kButtonYes);
    Require(drv::WaitGone(picker), "picker stayed up");
    HWND error = nullptr;
    drv::WaitUntil([&] {
        HWND box = app.Window(names::kMessageDialogClass);
        if (box && box != ask) error = box;
        return error != nullptr;
    });
    Require(error != nullptr, "no error shown");
    std::string text = upd::BoxText(error);
    Require(text == upd::ErrorText(texts::kCannotCreateFolder), "error text: " + text);
    upd::Answer(error, texts::kButtonOk);
    Require(drv::WaitGone(error), "error box stayed up");
    app.ExpectOnly({locate}, "after the error");
    RecordEmpty();
    QuitFromLocate(app, locate);
}

void HelpExplainsAndDriveListOpensItsRoot() {
    upd::Running app;
    HWND locate = upd::StartToLocateDialog(app, "Setup", Cwd());
    HWND picker = upd::OpenPicker(app, locate);
    drv::Press(picker, kIdPickerHelp);
    HWND help = app.WaitFor(names::kMessageDialogClass, FromCp932(texts::kInfoCaption));
    Require(upd::BoxText(help) == FromCp932(texts::kSelectHelpText), "wrong help text: " + upd::BoxText(help));
    upd::Answer(help, texts::kButtonOk);
    Require(drv::WaitGone(help), "help stayed up");
    app.ExpectOnly({locate, picker}, "after help");

    HWND drives = GetDlgItem(picker, kIdPickerDrives);
    Require(SendMessageA(drives, CB_GETCOUNT, 0, 0) >= 1, "no drives listed");
    SendMessageA(drives, CB_SETCURSEL, 0, 0);
    PostMessageA(picker, WM_COMMAND, MAKEWPARAM(kIdPickerDrives, CBN_SELCHANGE), reinterpret_cast<LPARAM>(drives));
    Sleep(500);
    std::string field = TextOf(GetDlgItem(picker, kIdPickerName));
    Require(field == "C:\\", "the drive opened at " + field);
    drv::Press(picker, IDCANCEL);
    Require(drv::WaitGone(picker), "picker stayed up");
    QuitFromLocate(app, locate);
    RecordEmpty();
}

// Enter in the tree opens the folder instead of accepting; Esc cancels.
void KeyboardOpensFoldersAndEscCancels() {
    MakeFolder(gWork + "\\cwd\\b");
    MakeFolder(gWork + "\\cwd\\a\\inner1");
    MakeFolder(gWork + "\\cwd\\a\\inner2");
    upd::Running app;
    HWND locate = upd::StartToLocateDialog(app, "Setup", Cwd());
    HWND picker = upd::OpenPicker(app, locate);
    SetForegroundWindow(picker);
    Sleep(300);
    HWND tree = GetDlgItem(picker, kIdPickerTree);
    int before = static_cast<int>(SendMessageA(tree, LB_GETCOUNT, 0, 0));
    drv::Keys({VK_TAB, VK_DOWN});  // to the tree, then onto "a"
    std::string field = TextOf(GetDlgItem(picker, kIdPickerName));
    Require(field == gWork + "\\cwd\\a", "selecting did not fill the field: " + field);
    drv::Keys({VK_RETURN});
    Require(IsWindowVisible(picker), "Enter in the tree accepted");
    int after = static_cast<int>(SendMessageA(tree, LB_GETCOUNT, 0, 0));
    // Before: the folders down to cwd, then a and b; once a is open: the
    // same down to a, then inner1 and inner2.
    int depth = TreeDepth(gWork + "\\cwd");
    Require(before == depth + 2 && after == depth + 3, "the tree did not open a (" + std::to_string(before) +
                                                           " -> " + std::to_string(after) + " entries)");
    Require(SendMessageA(tree, LB_GETCURSEL, 0, 0) == depth, "a is not the selected folder");
    drv::Keys({VK_ESCAPE});
    Require(drv::WaitGone(picker), "picker stayed up");
    app.ExpectOnly({locate}, "after Esc");
    RecordEmpty();
    QuitFromLocate(app, locate);
}

// The frame, the keys and the owner: a fixed frame with the close box only
// around a 418 x 175 client area; Esc does nothing and no button is the
// default; Tab goes round the three buttons in order and Enter presses the
// focused one; the main window takes no input meanwhile and is active again
// afterwards.
void DialogFrameKeysAndOwner() {
    upd::Running app;
    HWND main = StartToMainWindow(app, GameFolder("game") + "\\");
    HWND locate = OpenLocateDialog(app, main);
    RECT client;
    GetClientRect(locate, &client);
    Require(client.right == 418 && client.bottom == 175,
            "client area " + std::to_string(client.right) + " x " + std::to_string(client.bottom));
    LONG style = GetWindowLongA(locate, GWL_STYLE);
    Require((style & WS_SYSMENU) && !(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME)),
            "frame is not fixed with the close box only");
    Require(!IsWindowEnabled(main), "main window takes input under the dialog");
    const int buttons[] = {kIdLocateButton1, kIdLocateButton2, kIdLocateButton3};
    for (int id : buttons) {
        Require((GetWindowLongA(GetDlgItem(locate, id), GWL_STYLE) & 0x0F) == BS_PUSHBUTTON,
                "button " + std::to_string(id) + " is not a plain push button");
    }

    SetForegroundWindow(locate);
    Sleep(300);
    Require(drv::FocusOf(locate) == GetDlgItem(locate, kIdLocateButton1), "the first button has no focus");
    drv::Keys({VK_ESCAPE});
    app.ExpectOnly({main, locate}, "after Esc");
    for (int i = 1; i <= 3; ++i) {
        drv::Keys({VK_TAB});
        Require(drv::FocusOf(locate) == GetDlgItem(locate, buttons[i % 3]), "Tab " + std::to_string(i) + " went astray");
    }
    drv::Keys({VK_TAB, VK_TAB});  // onto the quit button
    drv::Keys({VK_RETURN});
    Require(drv::WaitGone(locate), "locate dialog stayed up");
    Require(IsWindowEnabled(main), "main window left disabled");
    Require(drv::WaitUntil([&] { return GetForegroundWindow() == main; }, 3000), "main window not active again");
    Require(IsWindow(locate), "dialog destroyed instead of hidden");
    QuitFromMain(app, main);
}

void MovedDialogIsCentredAgain() {
    upd::Running app;
    HWND main = StartToMainWindow(app, GameFolder("game") + "\\");
    HWND locate = OpenLocateDialog(app, main);
    Require(drv::Centred(locate), "not centred at the first showing");
    SetWindowPos(locate, nullptr, 3, 5, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    Sleep(200);
    Require(!drv::Centred(locate), "could not move the dialog");
    drv::Press(locate, kIdLocateButton3);
    Require(drv::WaitGone(locate), "locate dialog stayed up");
    locate = OpenLocateDialog(app, main);
    Require(drv::Centred(locate), "not centred at the next showing");
    drv::Press(locate, kIdLocateButton3);
    Require(drv::WaitGone(locate), "locate dialog stayed up");
    QuitFromMain(app, main);
}

void ChangedDestinationIsUpdated() {
    std::string before = GameFolder("before");
    std::string after = GameFolder("after");
    upd::Running app;
    HWND main = StartToMainWindow(app, before + "\\");
    HWND locate = OpenLocateDialog(app, main);
    upd::PickAndAccept(app, locate, after);
    Require(drv::WaitGone(locate), "locate dialog stayed up");
    RecordIs(after + "\\");
    upd::ExpectUpdateInto(app, "Setup", after);
    Require(!drv::FileExists(before + "\\" + names::kTargetFile), "old folder updated");
}

// A ".." typed under a folder whose name ends in a byte that is a lead byte
// in CP932 ("à" is 0xE0 in code page 1252) climbs one folder, no more: the
// separator after it is a separator on this system. The picker opens at
// "Jeux à", where the typed name starts.
void DotDotUnderWesternLetterClimbsOneFolder() {
    if (!upd::WesternSystem()) check::Skip("needs a Western system (code page 1252)");
    std::string game = GameFolder(u8"Jeux à\\Vesperlin");
    MakeFolder(gWork + u8"\\Jeux à\\sub");
    GameFolder("Vesperlin");  // where a swallowed separator would lead
    MarkerFolderIsStored("sub\\..\\Vesperlin", game + "\\", gWork + u8"\\Jeux à");
}

// A typed name the file functions must not see as it stands: the error box
// says why, the picker stays for another try, and no folder is made.
void TypedNameIsRefused(const std::wstring& typed, const char* why) {
    upd::Running app;
    HWND locate = upd::StartToLocateDialog(app, "Setup", Cwd());
    HWND picker = upd::OpenPicker(app, locate);
    upd::TypeFolder(picker, typed);
    drv::Press(picker, IDOK);
    HWND error = app.WaitFor(names::kMessageDialogClass);
    upd::ExpectBoxAndPress(drv::ReadBox(error), upd::TitleOf("Setup"), upd::ErrorText(why), IDI_ERROR);
    app.ExpectOnly({locate, picker}, "after the error");
    check::ExpectEq(drv::Listing(gWork) + "; " + drv::Listing(gWork + "\\cwd"), std::string("cwd; "), "the folders hold");
    drv::Press(picker, IDCANCEL);
    Require(drv::WaitGone(picker), "picker stayed up");
    QuitFromLocate(app, locate);
    RecordEmpty();
}

// Japanese typed on a Western system: the ANSI file functions cannot take
// it, and turned into "?" or a look-alike it would make or store a folder
// of another name. Where the code page is UTF-8 it holds every character,
// but not half a surrogate pair.
void TypedNameTheCodePageCannotHoldIsRefused() {
    std::wstring typed = drv::Wide(gWork + u8"\\ゲーム");
    if (upd::Utf8Setup()) typed += L'\xD800';
    else if (!upd::WesternSystem()) check::Skip("needs a Western system (code page 1252) or UTF-8");
    TypedNameIsRefused(typed, texts::kTypedNameNotInCodePage);
}

void Snap(HWND window, const std::string& name) {
    Require(upd::Snap(window, upd::ShotName(name)), "cannot save " + name);
}

void Screenshots() {
    // Right under E2E_WORK, so that the picture shows a short tree.
    std::string games = upd::Env("E2E_WORK") + "\\Games";
    MakeFolder(games + "\\Vesperlin");
    Require(drv::WriteWholeFile(games + "\\Vesperlin\\MG_DATA.MBL", "marker"), "cannot write the marker");
    MakeFolder(games + "\\Other");
    upd::Running app;
    HWND locate = upd::StartToLocateDialog(app, "Setup", Cwd(games));
    Snap(locate, "locate-dialog");
    HWND picker = upd::OpenPicker(app, locate);
    ChooseLastSubfolder(picker, games, LBN_SELCHANGE, games + "\\Vesperlin");
    Snap(picker, "folder-picker");
    drv::Press(picker, IDCANCEL);
    Require(drv::WaitGone(picker), "picker stayed up");
    QuitFromLocate(app, locate);
}

}  // namespace

int main(int argc, char** argv) {
    const std::string root = upd::Env("E2E_WORK") + "\\locate-manual";
    const check::Table table = {
        {"first start: the exit button ends the program", [] { FirstStartExitEndsProgram(false); }},
        {"first start: the close box ends the program", [] { FirstStartExitEndsProgram(true); }},
        {"picker: opens at the current folder; cancel changes nothing",
         PickerOpensAtCurrentFolderAndCancelChangesNothing},
        {"marker folder: stored with one separator",
         [] { std::string f = GameFolder("ok"); MarkerFolderIsStored(f, f + "\\"); }},
        // The returned path plus one "\", nothing added or removed.
        {"marker folder typed with a separator: stored with one more",
         [] { std::string f = GameFolder("slash"); MarkerFolderIsStored(f + "\\", f + "\\\\"); }},
        {"marker folder with a Japanese name: stored where the code page holds it",
         [] {
             if (upd::WesternSystem() && !upd::Utf8Setup()) check::Skip("needs code page 932 or UTF-8");
             std::string f = GameFolder(u8"ゲーム");
             MarkerFolderIsStored(f, f + "\\");
         }},
        {"relative name: stored as a full path",
         [] { std::string f = GameFolder("cwd\\rel"); MarkerFolderIsStored("rel", f + "\\"); }},
        {"relative name: taken from the folder shown", RelativeNameIsTakenFromTheShownFolder},
        {"relative name too long for a path when made full: refused",
         [] { TypedNameIsRefused(std::wstring(200, L'x'), texts::kTypedNameTooLong); }},
        {"drive root: stored with one more separator, and updated", DriveRootIsStoredWithOneMoreSeparatorAndUpdated},
        {"help: explains the picker; the drive list opens a root", HelpExplainsAndDriveListOpensItsRoot},
        {"keyboard: Enter in the tree opens folders, Esc cancels", KeyboardOpensFoldersAndEscCancels},
        {"folder without the marker: nothing stored",
         [] { MakeFolder(gWork + "\\plain"); FolderWithoutMarkerFileStoresNothing(gWork + "\\plain"); }},
        {"folder holding a folder named like the marker: nothing stored",
         [] { MakeFolder(gWork + "\\fake\\mg_data.mbl"); FolderWithoutMarkerFileStoresNothing(gWork + "\\fake"); }},
        {"new folder: created on yes, not stored", NewFolderIsCreatedOnYesButNotStored},
        {"empty name: cannot create", EmptyPathShowsCannotCreate},
        {"dialog: frame, keys and owner", DialogFrameKeysAndOwner},
        {"dialog moved: centred again at its next showing", MovedDialogIsCentredAgain},
        {"changed destination: updated", ChangedDestinationIsUpdated},
        {"a .. typed under a name ending in a Western letter climbs one folder", DotDotUnderWesternLetterClimbsOneFolder},
        {"a typed name the code page cannot hold: refused", TypedNameTheCodePageCannotHoldIsRefused},
        {"screenshots", Screenshots},
    };
    int failed = check::Run(argc, argv, table, [&root](const std::string& name) {
        drv::ClearRecord();
        // Each case's own folder, named after it in letters and digits.
        std::string folder = name;
        for (char& c : folder) c = isalnum(static_cast<unsigned char>(c)) ? c : '-';
        gWork = root + "\\" + folder;
        drv::RemoveTree(gWork);
        MakeFolder(gWork);
    });
    drv::ClearRecord();
    return failed;
}
