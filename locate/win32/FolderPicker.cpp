// The folder selection dialog, built at run time on the dialog manager so that
// Tab, Enter, Esc and the access keys behave as in any Windows dialog.
#include "locate/win32/FolderPicker.h"

#include <string.h>

#include "locate/FolderPath.h"
#include "platform/win32/Owned.h"
#include "platform/win32/Win32Folders.h"
#include "resources/Texts.h"
#include "shell/win32/MessageDialog.h"
#include "shell/win32/Window.h"

namespace {

constexpr int kIdLabel = -1;
constexpr int kIdName = kIdPickerName;
constexpr int kIdTree = kIdPickerTree;
constexpr int kIdFiles = kIdPickerFiles;
constexpr int kIdDrives = kIdPickerDrives;
constexpr int kIdHelp = kIdPickerHelp;

constexpr int kClientWidth = 416;
constexpr int kClientHeight = 278;
constexpr int kIndent = 12;  // pixels per level in the folder tree

struct PickerControl {
    const char* windowClass;
    DWORD style;
    DWORD exStyle;
    int id;
    int x, y, width, height;
    const char* caption;
};

// Creation order is tab order, and each label's access key moves the focus to
// the control created after it.
constexpr DWORD kTab = WS_CHILD | WS_VISIBLE | WS_TABSTOP;
constexpr PickerControl kControls[] = {
    {"STATIC", WS_CHILD | WS_VISIBLE, 0, kIdLabel, 8, 8, 300, 12, texts::kSelectName},
    {"EDIT", kTab | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE, kIdName, 8, 22, 300, 20, ""},
    {"STATIC", WS_CHILD | WS_VISIBLE, 0, kIdLabel, 8, 52, 180, 12, texts::kSelectFolders},
    {"LISTBOX",
     kTab | WS_VSCROLL | LBS_NOTIFY | LBS_OWNERDRAWFIXED | LBS_HASSTRINGS | LBS_NOINTEGRALHEIGHT,
     WS_EX_CLIENTEDGE, kIdTree, 8, 66, 180, 164, ""},
    {"STATIC", WS_CHILD | WS_VISIBLE, 0, kIdLabel, 198, 52, 110, 12, texts::kSelectFiles},
    // For orientation only: greyed, never focused.
    {"LISTBOX", WS_CHILD | WS_VISIBLE | WS_DISABLED | WS_VSCROLL | LBS_SORT | LBS_NOINTEGRALHEIGHT,
     WS_EX_CLIENTEDGE, kIdFiles, 198, 66, 110, 164, ""},
    {"STATIC", WS_CHILD | WS_VISIBLE, 0, kIdLabel, 8, 238, 180, 12, texts::kSelectDrives},
    {"COMBOBOX", kTab | WS_VSCROLL | CBS_DROPDOWNLIST, 0, kIdDrives, 8, 252, 300, 200, ""},
    {"BUTTON", kTab | BS_DEFPUSHBUTTON, 0, IDOK, 324, 22, 84, 25, texts::kButtonOk},
    {"BUTTON", kTab | BS_PUSHBUTTON, 0, IDCANCEL, 324, 54, 84, 25, texts::kSelectCancel},
    {"BUTTON", kTab | BS_PUSHBUTTON, 0, kIdHelp, 324, 86, 84, 25, texts::kSelectHelp},
};

struct Picker {
    const char* start;
    char* out;
    size_t capacity;
    HWND window;
    // The folder whose ancestors and subfolders the tree shows.
    char current[kPathCapacity];
    // Tree entries below this index are current's ancestors (current last).
    int ancestors;
};

HWND Item(const Picker& p, int id) { return GetDlgItem(p.window, id); }

// Calls visit(name, isFolder) for each entry of folder but "." and "..".
template <class Visit>
void ListFolder(const char* folder, Visit visit) {
    char pattern[kPathCapacity];
    if (!JoinPath(pattern, sizeof pattern, folder, "*.*")) return;
    // An empty floppy or CD drive lists nothing instead of asking to retry.
    UINT oldMode = SetErrorMode(SEM_FAILCRITICALERRORS);
    WIN32_FIND_DATAA entry;
    OwnedFind find(FindFirstFileA(pattern, &entry));
    SetErrorMode(oldMode);
    if (!find.Valid()) return;
    do {
        const char* name = entry.cFileName;
        if (strcmp(name, ".") == 0 || strcmp(name, "..") == 0) continue;
        visit(name, (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0);
    } while (FindNextFileA(find.Get(), &entry));
}

// The folder that tree entry index stands for.
bool EntryPath(const Picker& p, int index, char* out, size_t capacity) {
    HWND tree = Item(p, kIdTree);
    if (index < 0 || index >= static_cast<int>(SendMessageA(tree, LB_GETCOUNT, 0, 0))) return false;
    if (index < p.ancestors) {
        PathStep steps[kPathCapacity / 2];
        size_t count = PathSteps(p.current, steps, kPathCapacity / 2);
        if (static_cast<size_t>(index) >= count || steps[index].end >= capacity) return false;
        memcpy(out, p.current, steps[index].end);
        out[steps[index].end] = '\0';
        return true;
    }
    char name[MAX_PATH];
    if (SendMessageA(tree, LB_GETTEXTLEN, index, 0) >= static_cast<LRESULT>(sizeof name)) return false;
    SendMessageA(tree, LB_GETTEXT, index, reinterpret_cast<LPARAM>(name));
    return JoinPath(out, capacity, p.current, name);
}

// The folder becomes the selected one: its path goes into the name field,
// ready to be overtyped, and its files into the greyed list.
void ShowSelected(Picker& p, const char* folder) {
    HWND field = Item(p, kIdName);
    SetWindowTextA(field, folder);
    SendMessageA(field, EM_SETSEL, 0, -1);

    HWND files = Item(p, kIdFiles);
    SendMessageA(files, WM_SETREDRAW, FALSE, 0);
    SendMessageA(files, LB_RESETCONTENT, 0, 0);
    ListFolder(folder, [&](const char* name, bool isFolder) {
        if (!isFolder) SendMessageA(files, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
    });
    SendMessageA(files, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(files, nullptr, TRUE);
}

// Subfolders go in name order after the ancestors; a binary search keeps the
// ancestors out of the sorting.
void InsertSubfolder(HWND tree, int first, const char* name) {
    int low = first;
    int high = static_cast<int>(SendMessageA(tree, LB_GETCOUNT, 0, 0));
    char other[MAX_PATH];
    while (low < high) {
        int middle = (low + high) / 2;
        SendMessageA(tree, LB_GETTEXT, middle, reinterpret_cast<LPARAM>(other));
        if (lstrcmpiA(other, name) <= 0) low = middle + 1;
        else high = middle;
    }
    LRESULT at = SendMessageA(tree, LB_INSERTSTRING, low, reinterpret_cast<LPARAM>(name));
    if (at >= 0) SendMessageA(tree, LB_SETITEMDATA, at, first);  // depth
}

char AsciiUpper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

void SelectDriveOf(Picker& p, const char* folder) {
    HWND drives = Item(p, kIdDrives);
    int count = static_cast<int>(SendMessageA(drives, CB_GETCOUNT, 0, 0));
    char drive[8];
    for (int i = 0; i < count; ++i) {
        SendMessageA(drives, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(drive));
        if (AsciiUpper(drive[0]) == AsciiUpper(folder[0]) && folder[1] == ':') {
            SendMessageA(drives, CB_SETCURSEL, i, 0);
            return;
        }
    }
    SendMessageA(drives, CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
}

// Shows folder's ancestors and subfolders and selects folder itself; false
// (nothing changed) when it is not a readable folder.
bool OpenFolder(Picker& p, const char* folder) {
    char full[kPathCapacity];
    DWORD length = GetFullPathNameA(folder, sizeof full, full, nullptr);
    if (length == 0 || length >= sizeof full) return false;
    Win32Folders folders;
    if (folders.Probe(full) != PathKind::kFolder) return false;
    strcpy(p.current, full);

    HWND tree = Item(p, kIdTree);
    SendMessageA(tree, WM_SETREDRAW, FALSE, 0);
    SendMessageA(tree, LB_RESETCONTENT, 0, 0);
    PathStep steps[kPathCapacity / 2];
    size_t count = PathSteps(p.current, steps, kPathCapacity / 2);
    if (count > kPathCapacity / 2) count = kPathCapacity / 2;
    char name[kPathCapacity];
    for (size_t i = 0; i < count; ++i) {
        size_t size = steps[i].end - steps[i].start;
        memcpy(name, p.current + steps[i].start, size);
        name[size] = '\0';
        LRESULT at = SendMessageA(tree, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
        if (at >= 0) SendMessageA(tree, LB_SETITEMDATA, at, i);
    }
    p.ancestors = static_cast<int>(count);
    ListFolder(p.current, [&](const char* entry, bool isFolder) {
        if (isFolder) InsertSubfolder(tree, p.ancestors, entry);
    });
    SendMessageA(tree, LB_SETCURSEL, p.ancestors - 1, 0);
    SendMessageA(tree, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(tree, nullptr, TRUE);

    SelectDriveOf(p, p.current);
    ShowSelected(p, p.current);
    return true;
}

void FillDrives(Picker& p) {
    HWND drives = Item(p, kIdDrives);
    char roots[26 * 4 + 2];
    DWORD length = GetLogicalDriveStringsA(sizeof roots, roots);
    if (length == 0 || length >= sizeof roots) return;
    for (const char* root = roots; *root != '\0'; root += strlen(root) + 1) {
        char drive[3] = {root[0], ':', '\0'};
        SendMessageA(drives, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(drive));
    }
}

void OnDriveChosen(Picker& p) {
    HWND drives = Item(p, kIdDrives);
    LRESULT index = SendMessageA(drives, CB_GETCURSEL, 0, 0);
    char root[8] = {};
    if (index >= 0) SendMessageA(drives, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(root));
    strcat(root, "\\");
    if (index < 0 || !OpenFolder(p, root)) {
        // A drive without a disk: stay where we were.
        MessageBeep(MB_ICONEXCLAMATION);
        SelectDriveOf(p, p.current);
    }
}

void OpenTreeEntry(Picker& p) {
    char folder[kPathCapacity];
    int index = static_cast<int>(SendMessageA(Item(p, kIdTree), LB_GETCURSEL, 0, 0));
    if (!EntryPath(p, index, folder, sizeof folder) || !OpenFolder(p, folder)) MessageBeep(MB_ICONEXCLAMATION);
}

void OnTreeSelection(Picker& p) {
    char folder[kPathCapacity];
    int index = static_cast<int>(SendMessageA(Item(p, kIdTree), LB_GETCURSEL, 0, 0));
    if (EntryPath(p, index, folder, sizeof folder)) ShowSelected(p, folder);
}

// The full path of a name typed relative to the folder the tree shows: the
// user reads "Game" as a folder there, not below wherever the program was
// started. The process's own folder is put back at once.
DWORD FullPathFromShown(const Picker& p, const char* typed, char* out, DWORD capacity) {
    char saved[kPathCapacity];
    DWORD savedLength = GetCurrentDirectoryA(sizeof saved, saved);
    bool moved = savedLength > 0 && savedLength < sizeof saved && p.current[0] != '\0' &&
                 SetCurrentDirectoryA(p.current);
    DWORD length = GetFullPathNameA(typed, capacity, out, nullptr);
    if (moved) SetCurrentDirectoryA(saved);
    return length;
}

void Accept(Picker& p) {
    GetWindowTextA(Item(p, kIdName), p.out, static_cast<int>(p.capacity));
    // A typed relative name ("Game", "..\Game", "\Game") would be stored as
    // it stands and point elsewhere at the next start: make it whole here.
    if (p.out[0] != '\0' && !IsFullPath(p.out)) {
        char full[kPathCapacity];
        DWORD length = FullPathFromShown(p, p.out, full, sizeof full);
        if (length > 0 && length < sizeof full && length < p.capacity) {
            strcpy(p.out, full);
            SetWindowTextA(Item(p, kIdName), full);
        }
    }
    Win32Folders folders;
    if (folders.Probe(p.out) != PathKind::kFolder &&
        !AskConfirmation(p.window, texts::kCreateFolderQuestion)) {
        return;
    }
    EndDialog(p.window, IDOK);
}

void DrawTreeEntry(const DRAWITEMSTRUCT& item) {
    HDC dc = item.hDC;
    bool selected = (item.itemState & ODS_SELECTED) != 0;
    if (item.itemID != static_cast<UINT>(-1)) {
        FillRect(dc, &item.rcItem, GetSysColorBrush(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
        char name[MAX_PATH];
        if (SendMessageA(item.hwndItem, LB_GETTEXTLEN, item.itemID, 0) < static_cast<LRESULT>(sizeof name)) {
            SendMessageA(item.hwndItem, LB_GETTEXT, item.itemID, reinterpret_cast<LPARAM>(name));
            SetBkMode(dc, TRANSPARENT);
            SetTextColor(dc, GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
            int depth = static_cast<int>(item.itemData);
            TextOutA(dc, item.rcItem.left + 2 + depth * kIndent, item.rcItem.top + 1, name,
                     static_cast<int>(strlen(name)));
        }
    }
    if (item.itemState & ODS_FOCUS) DrawFocusRect(dc, &item.rcItem);
}

int TextHeight(HWND window, HFONT font) {
    HDC dc = GetDC(window);
    TEXTMETRICA metrics = {};
    {
        SelectScope scope(dc, font);
        GetTextMetricsA(dc, &metrics);
    }
    ReleaseDC(window, dc);
    return metrics.tmHeight;
}

void Layout(Picker& p) {
    HWND window = p.window;
    SetWindowTextA(window, texts::kSelectCaption);
    HINSTANCE instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(window, GWLP_HINSTANCE));
    for (const PickerControl& c : kControls) {
        HWND control = CreateWindowExA(c.exStyle, c.windowClass, c.caption, c.style, c.x, c.y, c.width,
                                       c.height, window, reinterpret_cast<HMENU>(static_cast<INT_PTR>(c.id)),
                                       instance, nullptr);
        SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(WindowFont()), FALSE);
    }
    SendMessageA(Item(p, kIdName), EM_LIMITTEXT, kPathCapacity - 2, 0);  // room for the "\"
    SendMessageA(Item(p, kIdTree), LB_SETITEMHEIGHT, 0, TextHeight(window, WindowFont()) + 2);

    RECT frame = {0, 0, kClientWidth, kClientHeight};
    AdjustWindowRectEx(&frame, GetWindowLongA(window, GWL_STYLE), FALSE, GetWindowLongA(window, GWL_EXSTYLE));
    int width = frame.right - frame.left;
    int height = frame.bottom - frame.top;
    SetWindowPos(window, nullptr, (GetSystemMetrics(SM_CXSCREEN) - width) / 2,
                 (GetSystemMetrics(SM_CYSCREEN) - height) / 2, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

INT_PTR CALLBACK PickerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    Picker* p = reinterpret_cast<Picker*>(GetWindowLongPtrA(window, DWLP_USER));
    switch (message) {
    case WM_INITDIALOG: {
        p = reinterpret_cast<Picker*>(lParam);
        SetWindowLongPtrA(window, DWLP_USER, lParam);
        p->window = window;
        ShowProgramIcon(window);
        Layout(*p);
        FillDrives(*p);
        char here[kPathCapacity] = {};
        if (p->start[0] == '\0' || !OpenFolder(*p, p->start)) {
            DWORD length = GetCurrentDirectoryA(sizeof here, here);
            if (length > 0 && length < sizeof here) OpenFolder(*p, here);
        }
        SetFocus(Item(*p, kIdName));
        return FALSE;  // the focus is set
    }
    case WM_DRAWITEM:
        if (wParam != kIdTree) return FALSE;
        DrawTreeEntry(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
        return TRUE;
    case WM_CLOSE:
        EndDialog(window, IDCANCEL);
        return TRUE;
    case WM_COMMAND:
        if (!p) return FALSE;
        switch (LOWORD(wParam)) {
        case IDOK:
            // Enter in the tree opens the entry, as a double click does.
            if (GetFocus() == Item(*p, kIdTree)) OpenTreeEntry(*p);
            else Accept(*p);
            return TRUE;
        case IDCANCEL:
            EndDialog(window, IDCANCEL);
            return TRUE;
        case kIdHelp:
            ShowInformation(window, texts::kSelectHelpText);
            return TRUE;
        case kIdTree:
            if (HIWORD(wParam) == LBN_SELCHANGE) OnTreeSelection(*p);
            if (HIWORD(wParam) == LBN_DBLCLK) OpenTreeEntry(*p);
            return TRUE;
        case kIdDrives:
            if (HIWORD(wParam) == CBN_SELCHANGE) OnDriveChosen(*p);
            return TRUE;
        }
        return FALSE;
    }
    return FALSE;
}

// A dialog template with no controls of its own: they are made in pixels at
// WM_INITDIALOG, in the program's font, which a template could only give in
// points and dialog units.
struct EmptyTemplate {
    DLGTEMPLATE dialog;
    WORD menu;
    WORD windowClass;
    WORD title;
};

}  // namespace

bool PickFolder(HWND owner, const char* start, char* out, size_t capacity) {
    if (capacity == 0) return false;
    out[0] = '\0';
    Picker picker = {};
    picker.start = start;
    picker.out = out;
    picker.capacity = capacity;
    alignas(4) EmptyTemplate form = {};
    form.dialog.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
    form.dialog.cx = 200;
    form.dialog.cy = 100;
    INT_PTR result = DialogBoxIndirectParamA(GetModuleHandleA(nullptr), &form.dialog, owner, PickerProc,
                                             reinterpret_cast<LPARAM>(&picker));
    if (result != IDOK) out[0] = '\0';
    return result == IDOK;
}
