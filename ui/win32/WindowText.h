// The one boundary where text meets the screen. Where the system has Unicode
// windows and code page 932, the program's windows are Unicode windows and
// every text reaches them as UTF-16, each run converted with its own code
// page, so that Japanese reads right on a system of any language. Elsewhere
// (Windows 98/Me, or no code page 932 installed) they are ANSI windows and
// the bytes pass unchanged, as they always did.
#pragma once

#include <windows.h>

#include <stddef.h>

#include "ui/ShownText.h"

// Decides once, at start-up and before any window or text, whether the
// windows are Unicode ones: where the system has them and code page 932,
// unless ansiOnly. Every later question is a plain read.
void DecideWindowMode(bool ansiOnly);
bool UnicodeWindows();

// Registers wc's class as a Unicode or an ANSI class; the name is ASCII.
bool RegisterWindowClass(const WNDCLASSA& wc);
HWND CreateTextWindow(DWORD exStyle, const char* className, const ShownText& text, DWORD style, int x, int y,
                      int width, int height, HWND parent, HMENU menu, HINSTANCE instance, void* param);
// What every window procedure of the program hands on.
LRESULT DefaultWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR ShowDialogFromTemplate(HINSTANCE instance, const DLGTEMPLATE* form, HWND owner, DLGPROC proc,
                               LPARAM param);

// The messages of the program's loops, of the width its windows are.
BOOL GetNextMessage(MSG& msg);
BOOL PeekNextMessage(MSG& msg);
void DispatchWindowMessage(const MSG& msg);
bool IsDialogMessageOf(HWND dialog, MSG& msg);

// A window's text, and a string item of a list or combo box (message
// LB_ADDSTRING, CB_ADDSTRING).
void SetShownText(HWND window, const ShownText& text);
LRESULT AddShownItem(HWND list, UINT message, const ShownText& item);

enum class ReadStatus { kOk, kNotInCodePage, kTooLong };
// Reads what the user typed into window as the system's text (the code page
// the file functions take). kNotInCodePage: a character that code page
// cannot hold, which must never become a path with something else in its
// place; kTooLong: it does not fit out. out is "" unless kOk.
ReadStatus ReadSystemText(HWND window, char* out, size_t capacity);

// Drawing and measuring with the font selected into dc.
int DrawShownText(HDC dc, const ShownText& text, RECT& rect, UINT format);
SIZE MeasureShownText(HDC dc, const ShownText& text);
void DrawShownTextAt(HDC dc, int x, int y, const ShownText& text);
// Draws the list box's string item at (x, y): its text is the system's.
void DrawListItem(HDC dc, HWND list, UINT item, int x, int y);

// The program's font, by its own face name (resources/Names.h) in the
// Shift-JIS character set, on every system: height as CreateFont takes it.
HFONT CreateProgramFont(int height);
