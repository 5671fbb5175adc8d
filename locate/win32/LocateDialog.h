// The locate dialog (Form3): asks where the game is installed.
#pragma once

#include <windows.h>

#include "platform/Error.h"

struct LocateDialog {
    HWND window = nullptr;
    HWND button1 = nullptr;  // "自動検索" / "中止"
    HWND button2 = nullptr;  // "手動設定"
    HWND button3 = nullptr;  // "終了"
    HWND label6 = nullptr;   // progress line of the search
    HWND focus = nullptr;    // control to refocus when the dialog is activated again
    // Set by every way of closing; the modal showing ends once the handler
    // that asked for the close has returned.
    bool ended = false;
};

extern LocateDialog Form3;

// Created hidden at start-up, owned by the main window.
Error CreateLocateDialog(HINSTANCE instance, HWND owner);

// Shows the dialog modally (centred anew each time) and returns when it ended.
void ShowLocateDialogModal(LocateDialog& dialog);

// Ends the modal showing after the running handler returns.
void CloseLocateDialog(LocateDialog& dialog);
