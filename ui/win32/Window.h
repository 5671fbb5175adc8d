// Plumbing every window shares: font, classes, controls from layout tables,
// centring, keyboard handling and the message loops.
#pragma once

#include <windows.h>

#include "platform/Error.h"
#include "resources/Layouts.h"

// "ＭＳ Ｐゴシック" 12 px in the Shift-JIS character set, for every window and
// control, so that the texts show on any system whatever its own font.
HFONT WindowFont();

// Registers a window class of the button-face colour once per run.
bool RegisterLayoutClass(HINSTANCE instance, const char* className, WNDPROC wndProc);

// Gives window the program's own icon for its title bar, when the program
// carries one (its first icon group: the game's, which bundle copies in); a
// program without one keeps the system's default.
void ShowProgramIcon(HWND window);

// Creates a window from its layout, hidden, owned by owner (may be null),
// with all its controls in the window font. The class is registered on first
// use with wndProc and the button-face background.
Error CreateLayoutWindow(HINSTANCE instance, const WindowLayout& layout, WNDPROC wndProc,
                         HWND owner, HWND* created);

// Creates one control as a child of parent in the window font.
HWND CreateControl(HWND parent, const ControlLayout& control);

// Moves the window (by its outer size) to the middle of the primary screen.
void CentreOnScreen(HWND window);

// Keeps the focused control across deactivation; the first control that
// takes focus gets it when there is none to go back to. For WM_ACTIVATE.
void KeepFocusOnActivate(HWND window, WPARAM activation, HWND& savedFocus);

// Tab, arrows and access keys move between controls; Enter clicks the
// focused button and nothing else; Esc sends IDCANCEL to the window, which
// only a box with a cancel button takes up. True when msg was used.
bool TranslateDialogKeys(MSG& msg);

// The program's message loop; returns when WM_QUIT arrives.
void RunMessageLoop();

// Handles the messages already waiting, for a long job on the GUI thread.
// False when WM_QUIT was among them: it is posted again for the loop outside.
bool PumpPendingMessages();

// Runs a nested loop until ended is set by a handler. A WM_QUIT that arrives
// meanwhile ends it too and is posted again for the loop outside.
void RunModalLoop(const bool& ended);

// Disables a modal window's owner for as long as it is up, and gives the
// owner its previous state back (it may itself be disabled by another box).
class DisabledOwner {
public:
    explicit DisabledOwner(HWND owner);
    ~DisabledOwner();
    // Enables the owner early, before its modal window is hidden, so that
    // activation goes back to it rather than to another program.
    void Restore();
    DisabledOwner(const DisabledOwner&) = delete;
    DisabledOwner& operator=(const DisabledOwner&) = delete;

private:
    HWND owner_;
    bool wasEnabled_;
};
