// The search button of the locate dialog: the walk over the real disks.
#include <windows.h>

#include "locate/FolderWalk.h"
#include "locate/win32/LocateDialog.h"
#include "platform/win32/Win32FileSystem.h"
#include "platform/win32/Win32Registry.h"
#include "resources/Texts.h"
#include "locate/InstallRecord.h"
#include "ui/win32/MessageDialog.h"
#include "ui/win32/Window.h"

namespace {

// Kept from one search to the next for the whole run.
SearchState g_search;

// Lets the progress line repaint and the stop button and the close box work
// mid-walk. False when the program was asked to quit.
bool PumpPendingMessages() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {  // not ours to eat: the main loop needs it
            PostQuitMessage(static_cast<int>(msg.wParam));
            return false;
        }
        if (TranslateDialogKeys(msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return true;
}

class DialogSearchView : public SearchView {
public:
    explicit DialogSearchView(LocateDialog& dialog) : dialog_(dialog) {}

    void ShowRunning(bool running) override {
        SetWindowTextA(dialog_.button1, running ? texts::kStopSearch : texts::kAutoSearch);
        EnableWindow(dialog_.button2, !running);
        EnableWindow(dialog_.button3, !running);
    }
    void ShowProgress(const char* line) override {
        // The label invalidates only itself; painting just that now is the
        // whole cost a folder pays for being shown.
        SetWindowTextA(dialog_.label6, line);
        UpdateWindow(dialog_.window);
    }
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
    Error StoreFolder(const char* recordValue) override {
        Win32Registry registry;
        return StoreInstallDir(registry, recordValue);
    }
    void CloseDialog() override { CloseLocateDialog(dialog_); }

private:
    LocateDialog& dialog_;
    bool quitting_ = false;
};

}  // namespace

Error Button1Click(LocateDialog& dialog) {
    DialogSearchView view(dialog);
    Win32FileSystem fileSystem;
    // A link on a fixed disk may lead to an empty floppy or CD drive: the
    // walk passes over it instead of stopping at the system's "no disk" box.
    UINT oldMode = SetErrorMode(SEM_FAILCRITICALERRORS);
    Error e = ClickSearchButton(g_search, fileSystem, view);
    SetErrorMode(oldMode);
    return e;
}
