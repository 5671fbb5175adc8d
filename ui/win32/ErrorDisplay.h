// The one place where an error reaches the user.
#pragma once

#include <windows.h>

#include "platform/Error.h"

// An error box above owner: the message (with its closing "."), the error
// icon, one "OK", and the program's name as caption. The program goes on.
void ShowError(HWND owner, const Error& error);

// For window procedures: ShowIfError(hwnd, OnCommand(...)).
inline void ShowIfError(HWND owner, const Error& error) {
    if (error) ShowError(owner, error);
}
