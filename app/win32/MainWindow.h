// The main window (Form1): the banner and the start, change and exit buttons.
#pragma once

#include <windows.h>

#include "locate/InstallRecord.h"
#include "platform/Error.h"
#include "platform/win32/Owned.h"

struct MainWindow {
    HWND window = nullptr;
    HWND image1 = nullptr;
    HWND focus = nullptr;  // control to refocus when the window is activated again
    OwnedGdi banner;       // Image1's picture, painted once and kept
};

extern MainWindow Form1;

// The install folder as last read from the record, "\" at its end; empty
// while the record holds none.
extern char InstallDir[kPathCapacity];

// Creates the window hidden, then runs FormCreate (centring and the first
// read of the record; a read error is shown and the window still comes up).
Error CreateMainWindow(HINSTANCE instance);

// Runs FormShow (banner, then the first-show check, which may close the
// window), then shows the window if it is still there.
void ShowMainWindow(int showCommand);
