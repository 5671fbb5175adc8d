// The folder selection dialog: drives, a folder tree, the folder's files and
// a folder name the user may overtype. Plain user32 controls only, so that it
// needs neither comctl32 nor shell32.
#pragma once

#include <stddef.h>
#include <windows.h>

// Its controls and their ids are kPickerWindow in resources/Layouts.h.

// Shows the dialog modally above owner, opened at start ("" means the current
// folder). True when the user accepted: out then holds the folder name field
// as typed (possibly a folder that does not exist yet, or ""); the dialog
// itself creates nothing.
bool PickFolder(HWND owner, const char* start, char* out, size_t capacity);
