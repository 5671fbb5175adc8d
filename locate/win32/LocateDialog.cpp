// Shows the locate dialog: created once, hidden between its modal showings.
#include "locate/win32/LocateDialog.h"

#include "resources/Layouts.h"
#include "ui/win32/ErrorDisplay.h"
#include "ui/win32/Window.h"

LocateDialog Form3;

namespace {

// Runs before each showing, so a dialog the user moved comes back centred.
void FormShow(LocateDialog& dialog) { CentreOnScreen(dialog.window); }

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
    return DefWindowProcA(hwnd, msg, wp, lp);
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
