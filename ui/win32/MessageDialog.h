// The program's one message box: caption, standard icon, text and buttons.
#pragma once

#include <windows.h>

#include "ui/ShownText.h"

enum class MessageIcon { Error, Information, Question };

struct MessageButton {
    ProgramText caption;
    bool isDefault;  // starts with the focus and shows the default border
    bool isCancel;   // Esc and the close box choose it
};

// The box closed without a button: close box, Alt+F4, or the program ending.
constexpr int kMessageClosed = -1;

// Shows a modal box centred on the screen above owner (disabled meanwhile;
// may be null) and returns the index of the button pressed, or kMessageClosed.
// The buttons are real push buttons with the captions given, whatever the
// system's own language.
int ShowMessageDialog(HWND owner, const ShownText& caption, MessageIcon icon, const ShownText& text,
                      const MessageButton* buttons, int buttonCount);

// "情報" box with one "OK".
void ShowInformation(HWND owner, ProgramText text);

// "確認" box: "はい(&Y)" (default) and "いいえ(&N)" (cancel); true for yes.
bool AskConfirmation(HWND owner, ProgramText text);
