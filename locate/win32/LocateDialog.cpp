// The locate dialog: created once, hidden between its modal showings; its
// buttons start the disk search, open the folder picker, or end the showing.
#include "locate/win32/LocateDialog.h"

#include "locate/FolderWalk.h"
#include "locate/InstallRecord.h"
#include "locate/ManualSetting.h"
#include "locate/win32/FolderPicker.h"
#include "platform/Path.h"
#include "platform/win32/Owned.h"
#include "platform/win32/Win32FileSystem.h"
#include "platform/win32/Win32Registry.h"
#include "resources/Layouts.h"
#include "resources/Texts.h"
#include "ui/win32/ErrorDisplay.h"
#include "ui/win32/MessageDialog.h"
#include "ui/win32/Window.h"
#include "ui/win32/WindowText.h"

LocateDialog Form3;

namespace {

// Kept from one search to the next for the whole run.
SearchState g_search;

class DialogSearchView : public SearchView {
public:
    explicit DialogSearchView(LocateDialog& dialog) : dialog_(dialog) {}

    void ShowRunning(bool running) override {
        SetShownText(dialog_.button1, running ? texts::kStopSearch : texts::kAutoSearch);
        EnableWindow(dialog_.button2, !running);
        EnableWindow(dialog_.button3, !running);
    }
    void ShowProgress(const char* folder) override {
        // The label invalidates only itself; painting just that now is the
        // whole cost a folder pays for being shown.
        SetShownText(dialog_.label6, ShownText(texts::kSearchingPrefix).AddSystem(folder));
        UpdateWindow(dialog_.window);
    }
    // Lets the progress line repaint and the stop button and the close box
    // work mid-walk.
    void PumpMessages() override {
        if (!PumpPendingMessages()) quitting_ = true;
    }
    bool Ended() override { return dialog_.ended || quitting_; }
    void ShowNotFound() override {
        // The abort button alone: neither default nor cancel.
        const MessageButton abort = {texts::kButtonAbort, false, false};
        ShowMessageDialog(dialog_.window, texts::kInfoCaption, MessageIcon::Information,
                          texts::kNotFound, &abort, 1);
    }
    void CloseDialog() override { CloseLocateDialog(dialog_); }

private:
    LocateDialog& dialog_;
    bool quitting_ = false;
};

// Runs before each showing, so a dialog the user moved comes back centred.
void FormShow(LocateDialog& dialog) { CentreOnScreen(dialog.window); }

// The automatic search over the real disks.
Error Button1Click(LocateDialog& dialog) {
    DialogSearchView view(dialog);
    Win32FileSystem fileSystem;
    // Opens the record's key only for the write after a find.
    Win32Registry registry;
    // A link on a fixed disk may lead to an empty floppy or CD drive: the
    // walk passes over it instead of stopping at the system's "no disk" box.
    ErrorModeScope noDriveBox(SEM_FAILCRITICALERRORS);
    return ClickSearchButton(g_search, fileSystem, registry, view);
}

// The manual setting: pick a folder, keep it if the game is there.
Error Button2Click(LocateDialog& dialog) {
    char chosen[kPathCapacity];
    if (!PickFolder(dialog.window, "", chosen, sizeof chosen)) return {};
    Win32FileSystem fileSystem;
    ManualOutcome outcome;
    {
        // Opened for this one write and closed before the dialog goes.
        Win32Registry registry;
        if (Error e = ApplyManualChoice(fileSystem, registry, chosen, &outcome)) return e;
    }
    if (outcome == ManualOutcome::kStored) CloseLocateDialog(dialog);
    return {};
}

Error Button3Click(LocateDialog& dialog) {
    CloseLocateDialog(dialog);
    return {};
}

Error OnCommand(LocateDialog& dialog, int id) {
    switch (id) {
    case kIdLocateButton1:
        return Button1Click(dialog);
    case kIdLocateButton2:
        return Button2Click(dialog);
    case kIdLocateButton3:
        return Button3Click(dialog);
    }
    return {};  // IDCANCEL from Esc among them: no button stands for it
}

LRESULT CALLBACK LocateDialogProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_COMMAND:
        if (HIWORD(wp) == BN_CLICKED) ShowIfError(hwnd, OnCommand(Form3, LOWORD(wp)));
        return 0;
    case WM_CLOSE:
        // The close box, Alt+F4 and SC_CLOSE all end the showing; the window
        // itself stays for the next one. During a search this only marks the
        // end: the search sees it and returns first.
        CloseLocateDialog(Form3);
        return 0;
    case WM_ACTIVATE:
        KeepFocusOnActivate(hwnd, wp, Form3.focus);
        return 0;
    }
    return DefaultWindowProc(hwnd, msg, wp, lp);
}

}  // namespace

Error CreateLocateDialog(HINSTANCE instance, HWND owner) {
    if (Error e = CreateLayoutWindow(instance, kLocateWindow, LocateDialogProc, owner, &Form3.window)) {
        return e;
    }
    Form3.button1 = GetDlgItem(Form3.window, kIdLocateButton1);
    Form3.button2 = GetDlgItem(Form3.window, kIdLocateButton2);
    Form3.button3 = GetDlgItem(Form3.window, kIdLocateButton3);
    Form3.label6 = GetDlgItem(Form3.window, kIdLocateLabel6);
    return {};
}

void ShowLocateDialogModal(LocateDialog& dialog) {
    dialog.ended = false;
    FormShow(dialog);
    HWND owner = GetWindow(dialog.window, GW_OWNER);
    DisabledOwner disabled(owner);
    ShowWindow(dialog.window, SW_SHOW);
    RunModalLoop(dialog.ended);
    // Enabled before the hide, so that activation falls back to the owner
    // and not to some other program.
    disabled.Restore();
    ShowWindow(dialog.window, SW_HIDE);
    if (owner && IsWindowVisible(owner)) SetActiveWindow(owner);
}

void CloseLocateDialog(LocateDialog& dialog) { dialog.ended = true; }
