// The main window: start-up read of the record, the update and the locate dialog.
#include "app/win32/MainWindow.h"

#include "app/InstallFolder.h"
#include "app/win32/Banner.h"
#include "locate/win32/LocateDialog.h"
#include "payload/win32/ExtractPayload.h"
#include "platform/win32/Win32Registry.h"
#include "resources/Layouts.h"
#include "resources/Names.h"
#include "resources/Texts.h"
#include "ui/win32/ErrorDisplay.h"
#include "ui/win32/MessageDialog.h"
#include "ui/win32/Window.h"
#include "ui/win32/WindowText.h"

MainWindow Form1;
char InstallDir[kPathCapacity] = "";

namespace {

// No close handler: closing the main window, however, ends the program.
void CloseMainWindow(MainWindow& form) { SendMessageA(form.window, WM_CLOSE, 0, 0); }

// Each registry object lives for one read only.
Error FormCreate(MainWindow& form) {
    CentreOnScreen(form.window);
    Win32Registry registry;
    return ReadInstallDir(registry, InstallDir, sizeof InstallDir);
}

// Without a folder there is nothing to update: the dialog asks for one, and a
// user who gives none has no use for this window.
Error CheckInstallDirOnFirstShow(MainWindow& form) {
    if (InstallDir[0] != '\0') return {};
    ShowLocateDialogModal(Form3);
    Win32Registry registry;
    bool giveUp = false;
    if (Error e = RereadAfterFirstLocate(registry, InstallDir, &giveUp)) return e;
    if (giveUp) CloseMainWindow(form);
    return {};
}

Error FormShow(MainWindow& form) {
    DrawBanner(form);
    return CheckInstallDirOnFirstShow(form);
}

Error Button1Click(MainWindow& form) {
    char target[kUpdateTargetCapacity];
    if (Error e = UpdateTargetPath(InstallDir, target, sizeof target)) return e;
    if (Error e = ExtractPayload(names::kPayloadResource, target)) return e;
    ShowInformation(form.window, texts::kUpdateDone);
    CloseMainWindow(form);
    return {};
}

Error Button3Click(MainWindow& form) {
    CloseMainWindow(form);
    return {};
}

// A folder the dialog stores counts at once, not only at the next start.
Error Button4Click(MainWindow&) {
    ShowLocateDialogModal(Form3);
    Win32Registry registry;
    return AdoptChangedFolder(registry, InstallDir);
}

Error OnCommand(MainWindow& form, int id) {
    switch (id) {
    case kIdMainButton1:
        return Button1Click(form);
    case kIdMainButton3:
        return Button3Click(form);
    case kIdMainButton4:
        return Button4Click(form);
    }
    return {};
}

LRESULT CALLBACK MainWindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_COMMAND:
        if (HIWORD(wp) == BN_CLICKED) ShowIfError(hwnd, OnCommand(Form1, LOWORD(wp)));
        return 0;
    case WM_ACTIVATE:
        KeepFocusOnActivate(hwnd, wp, Form1.focus);
        return 0;
    case WM_DESTROY:
        Form1.window = nullptr;
        PostQuitMessage(0);
        return 0;
    }
    return DefaultWindowProc(hwnd, msg, wp, lp);
}

}  // namespace

Error CreateMainWindow(HINSTANCE instance) {
    if (Error e = CreateLayoutWindow(instance, kMainWindow, MainWindowProc, nullptr, &Form1.window)) {
        return e;
    }
    Form1.image1 = GetDlgItem(Form1.window, kIdMainImage1);
    ShowIfError(Form1.window, FormCreate(Form1));
    return {};
}

void ShowMainWindow(int showCommand) {
    ShowIfError(Form1.window, FormShow(Form1));
    if (!IsWindow(Form1.window)) return;
    ShowWindow(Form1.window, showCommand);
    UpdateWindow(Form1.window);
}
