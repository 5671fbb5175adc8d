// The folder selection dialog, built at run time on the dialog manager so that
// Tab, Enter, Esc and the access keys behave as in any Windows dialog. What
// the tree lists and where a typed name leads is FolderTree's; this file only
// shows it.
#include "locate/win32/FolderPicker.h"

#include <string.h>

#include "locate/FolderTree.h"
#include "platform/Text.h"
#include "platform/win32/Owned.h"
#include "platform/win32/Win32FileSystem.h"
#include "resources/Layouts.h"
#include "resources/Texts.h"
#include "ui/win32/MessageDialog.h"
#include "ui/win32/ErrorDisplay.h"
#include "ui/win32/Window.h"
#include "ui/win32/WindowText.h"

static_assert(kIdPickerOk == IDOK && kIdPickerCancel == IDCANCEL, "Enter and Esc send these");

namespace {

constexpr int kIndent = 12;  // pixels per level in the folder tree

// The order Explorer shows names in, where the system keeps it.
int SystemNameOrder(const char* a, const char* b) { return lstrcmpiA(a, b); }

struct Picker {
    const char* start;
    char* out;
    size_t capacity;
    HWND window;
    FolderTree& tree;
    // The drive list's letters, item by item: kept here rather than read
    // back from the control, which holds them as shown text.
    char drives[26];
    int driveCount;
};

HWND Item(const Picker& p, int id) { return GetDlgItem(p.window, id); }

// The folder becomes the selected one: its path goes into the name field,
// ready to be overtyped, and its files into the greyed list.
void ShowSelected(Picker& p, const char* folder) {
    HWND field = Item(p, kIdPickerName);
    SetShownText(field, ShownText::System(folder));
    SendMessageA(field, EM_SETSEL, 0, -1);

    HWND files = Item(p, kIdPickerFiles);
    SendMessageA(files, WM_SETREDRAW, FALSE, 0);
    SendMessageA(files, LB_RESETCONTENT, 0, 0);
    {
        // An empty floppy or CD drive lists nothing instead of asking to retry.
        ErrorModeScope noDriveBox(SEM_FAILCRITICALERRORS);
        p.tree.ForEachFile(folder, [files](const char* name) {
            AddShownItem(files, LB_ADDSTRING, ShownText::System(name));
        });
    }
    SendMessageA(files, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(files, nullptr, TRUE);
}

void SelectDriveOf(Picker& p, const char* folder) {
    int index = -1;
    for (int i = 0; i < p.driveCount && folder[1] == ':'; ++i) {
        if (p.drives[i] == AsciiUpper(folder[0])) index = i;
    }
    SendMessageA(Item(p, kIdPickerDrives), CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

// Shows folder's ancestors and subfolders and selects folder itself; false
// (nothing changed) when it is not a readable folder.
bool OpenFolder(Picker& p, const char* folder) {
    {
        ErrorModeScope noDriveBox(SEM_FAILCRITICALERRORS);
        if (!p.tree.Open(folder)) return false;
    }
    HWND list = Item(p, kIdPickerTree);
    SendMessageA(list, WM_SETREDRAW, FALSE, 0);
    SendMessageA(list, LB_RESETCONTENT, 0, 0);
    char name[kPathCapacity];
    for (size_t i = 0; i < p.tree.EntryCount(); ++i) {
        if (!p.tree.EntryName(i, name, sizeof name)) name[0] = '\0';
        LRESULT at = AddShownItem(list, LB_ADDSTRING, ShownText::System(name));
        if (at >= 0) SendMessageA(list, LB_SETITEMDATA, at, p.tree.EntryDepth(i));
    }
    SendMessageA(list, LB_SETCURSEL, p.tree.AncestorCount() - 1, 0);
    SendMessageA(list, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(list, nullptr, TRUE);

    SelectDriveOf(p, p.tree.Shown());
    ShowSelected(p, p.tree.Shown());
    return true;
}

void FillDrives(Picker& p) {
    char roots[26 * 4 + 2];
    DWORD length = GetLogicalDriveStringsA(sizeof roots, roots);
    if (length == 0 || length >= sizeof roots) return;
    for (const char* root = roots; *root != '\0' && p.driveCount < 26; root += strlen(root) + 1) {
        char drive[3] = {AsciiUpper(root[0]), ':', '\0'};
        // Unsorted: the list's items stay in the order of drives.
        if (AddShownItem(Item(p, kIdPickerDrives), CB_ADDSTRING, ShownText::System(drive)) < 0) return;
        p.drives[p.driveCount++] = drive[0];
    }
}

void OnDriveChosen(Picker& p) {
    LRESULT index = SendMessageA(Item(p, kIdPickerDrives), CB_GETCURSEL, 0, 0);
    bool listed = index >= 0 && index < p.driveCount;
    char root[] = {listed ? p.drives[index] : '\0', ':', '\\', '\0'};
    if (!listed || !OpenFolder(p, root)) {
        // A drive without a disk: stay where we were.
        MessageBeep(MB_ICONEXCLAMATION);
        SelectDriveOf(p, p.tree.Shown());
    }
}

// The folder that the selected tree entry stands for.
bool SelectedPath(const Picker& p, char* out, size_t capacity) {
    LRESULT index = SendMessageA(Item(p, kIdPickerTree), LB_GETCURSEL, 0, 0);
    return index >= 0 && p.tree.EntryPath(static_cast<size_t>(index), out, capacity);
}

void OpenTreeEntry(Picker& p) {
    char folder[kPathCapacity];
    if (!SelectedPath(p, folder, sizeof folder) || !OpenFolder(p, folder)) MessageBeep(MB_ICONEXCLAMATION);
}

void OnTreeSelection(Picker& p) {
    char folder[kPathCapacity];
    if (SelectedPath(p, folder, sizeof folder)) ShowSelected(p, folder);
}

void Accept(Picker& p) {
    // A name the system's code page cannot hold would reach the file
    // functions as another name, and a folder might be made under it.
    switch (ReadSystemText(Item(p, kIdPickerName), p.out, p.capacity)) {
    case ReadStatus::kOk:
        break;
    case ReadStatus::kNotInCodePage:
        return ShowError(p.window, Error::Make(texts::kTypedNameNotInCodePage));
    case ReadStatus::kTooLong:
        return ShowError(p.window, Error::Make(texts::kTypedNameTooLong));
    }
    // A typed relative name ("Game", "..\Game", "\Game") would be stored as
    // it stands and point elsewhere at the next start: make it whole here.
    // One whose whole form is too long stays with the user, never reaching
    // the file functions as it was typed.
    if (p.out[0] != '\0' && !IsFullPath(p.out) && p.tree.Shown()[0] != '\0') {
        char full[kPathCapacity];
        if (!p.tree.MakeFull(p.out, full, sizeof full) || strlen(full) >= p.capacity) {
            p.out[0] = '\0';
            return ShowError(p.window, Error::Make(texts::kTypedNameTooLong));
        }
        strcpy(p.out, full);
        SetShownText(Item(p, kIdPickerName), ShownText::System(full));
    }
    Win32FileSystem fileSystem;
    if (fileSystem.Probe(p.out, nullptr) != PathKind::kFolder &&
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
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
        int depth = static_cast<int>(item.itemData);
        DrawListItem(dc, item.hwndItem, item.itemID, item.rcItem.left + 2 + depth * kIndent, item.rcItem.top + 1);
    }
    if (item.itemState & ODS_FOCUS) DrawFocusRect(dc, &item.rcItem);
}

int TextHeight(HWND window, HFONT font) {
    WindowDc dc(window);
    SelectScope useFont(dc.Get(), font);
    TEXTMETRICA metrics = {};
    GetTextMetricsA(dc.Get(), &metrics);
    return metrics.tmHeight;
}

void Layout(Picker& p) {
    HWND window = p.window;
    SetShownText(window, kPickerWindow.caption);
    for (int i = 0; i < kPickerWindow.controlCount; ++i) CreateControl(window, kPickerWindow.controls[i]);
    SendMessageA(Item(p, kIdPickerName), EM_LIMITTEXT, kPathCapacity - 2, 0);  // room for the "\"
    SendMessageA(Item(p, kIdPickerTree), LB_SETITEMHEIGHT, 0, TextHeight(window, WindowFont()) + 2);

    RECT frame = {0, 0, kPickerWindow.width, kPickerWindow.height};
    AdjustWindowRectEx(&frame, GetWindowLongA(window, GWL_STYLE), FALSE, GetWindowLongA(window, GWL_EXSTYLE));
    SetWindowPos(window, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    CentreOnScreen(window);
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
        SetFocus(Item(*p, kIdPickerName));
        return FALSE;  // the focus is set
    }
    case WM_DRAWITEM:
        if (wParam != kIdPickerTree) return FALSE;
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
            if (GetFocus() == Item(*p, kIdPickerTree)) OpenTreeEntry(*p);
            else Accept(*p);
            return TRUE;
        case IDCANCEL:
            EndDialog(window, IDCANCEL);
            return TRUE;
        case kIdPickerHelp:
            ShowInformation(window, texts::kSelectHelpText);
            return TRUE;
        case kIdPickerTree:
            if (HIWORD(wParam) == LBN_SELCHANGE) OnTreeSelection(*p);
            if (HIWORD(wParam) == LBN_DBLCLK) OpenTreeEntry(*p);
            return TRUE;
        case kIdPickerDrives:
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
    Win32FileSystem fileSystem;
    FolderTree tree(fileSystem, SystemNameOrder);
    Picker picker = {start, out, capacity, nullptr, tree, {}, 0};
    alignas(4) EmptyTemplate form = {};
    form.dialog.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
    form.dialog.cx = 200;
    form.dialog.cy = 100;
    INT_PTR result = ShowDialogFromTemplate(GetModuleHandleA(nullptr), &form.dialog, owner, PickerProc,
                                             reinterpret_cast<LPARAM>(&picker));
    if (result != IDOK) out[0] = '\0';
    return result == IDOK;
}
