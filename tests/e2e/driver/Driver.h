// Drives another program's windows under Wine the way a user would: start it,
// find its windows and controls, press buttons, read texts and pixels.
// Every string here is UTF-8: texts are read back as Unicode, so that one
// comparison holds on a Japanese and on a Western system alike.
#pragma once

#include <windows.h>

#include <stdint.h>

#include <functional>
#include <memory>
#include <initializer_list>
#include <string>
#include <vector>

namespace drv {

// How long a wait may take: 15 s, as a cold Wine start can take seconds;
// E2E_WAIT_MS raises it where 32-bit programs run under an emulator.
extern const int kWaitMs;

// Polls done every few milliseconds until it holds or timeoutMs pass.
bool WaitUntil(const std::function<bool()>& done, int timeoutMs = kWaitMs);

// A started program; its handle closes with the last copy, which never ends it.
class Process {
public:
    bool Started() const { return handle_ != nullptr; }
    DWORD Id() const { return id_; }
    // The exit code, or -1 while it still runs after timeoutMs.
    long WaitExit(int timeoutMs = kWaitMs) const;
    bool Running() const;
    // Ends it by force (cleanup after a failed scenario).
    void Kill() const;

private:
    friend Process Start(const std::string&, const std::string&, const std::string&);
    std::shared_ptr<void> handle_;
    DWORD id_ = 0;
};

// Starts exe with no arguments; currentDir "" keeps the driver's folder.
// With outputPath its standard output and error go to that file.
Process Start(const std::string& exe, const std::string& currentDir = "", const std::string& outputPath = "");

// A program text (resources/Texts.h, CP932 in these programs as in the
// updater) as UTF-8.
std::string FromCp932(const char* text);
std::wstring Wide(const std::string& utf8);
std::string Utf8(const std::wstring& wide);
// Fills the one %s of a message pattern.
std::string Fill(const std::string& pattern, const std::string& arg);

// Texts and classes of any process's windows.
std::string TextOf(HWND window);
std::string ClassOf(HWND window);
// Replaces an edit control's text, as typing it would; as UTF-16 it may hold
// what no UTF-8 can (half a surrogate pair).
void SetText(HWND control, const std::string& text);
void SetText(HWND control, const std::wstring& text);

// Top-level windows of the process (visible ones only unless asked).
std::vector<HWND> TopWindows(DWORD pid, bool visibleOnly = true);
// Waits until the window is gone or hidden.
bool WaitGone(HWND window, int timeoutMs = kWaitMs);

std::vector<HWND> Children(HWND parent);
// A child by class ("" for any) and caption ("" for any).
HWND FindChild(HWND parent, const std::string& className, const std::string& caption);

// Presses a button without waiting for what it starts, so a modal loop or a
// long handler on the other side never blocks the driver.
void Click(HWND button);
// The same press delivered as the window's WM_COMMAND from its control id,
// for windows that are not active or not yet ready to take mouse messages.
void Press(HWND window, int id);
// Asks the window to close, as its close box does.
void Close(HWND window);
// Types the keys into whatever window has the focus, each pressed and let go.
void Keys(std::initializer_list<WORD> keys);
// The control that has the keyboard focus in window's thread.
HWND FocusOf(HWND window);

// A message box read from the screen: its own top-level window with a text,
// an icon and buttons.
struct Box {
    HWND window = nullptr;
    HWND icon = nullptr;  // the icon static, if any
    std::string caption;
    std::string text;
    std::vector<std::string> buttons;
};
// Waits until the box has its buttons, then reads it.
Box ReadBox(HWND window);
// Waits for a box of pid other than the windows in skip.
bool WaitBox(DWORD pid, Box& box, const std::vector<HWND>& skip, int timeoutMs = kWaitMs);
bool PressBoxButton(const Box& box, const std::string& caption);

RECT WindowRect(HWND window);
// The client area in screen coordinates.
RECT ClientRectOnScreen(HWND window);
SIZE ScreenSize();
// The window's outer rectangle sits in the middle of the screen, its origin
// rounded toward zero as C++ divides, so negative on a smaller screen.
bool Centred(HWND window);

// Pixels copied from the screen, 0x00RRGGBB, top row first.
struct Image {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;
    uint32_t At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

Image Capture(const RECT& onScreen);
// Makes sure what is captured has been painted: waits for the window's
// thread to answer (its paint comes first) and a little longer.
void Settle(HWND window);
bool SaveBmp(const Image& image, const std::string& path);
// Share of the pixels of an icon control on the screen that equal the
// system icon (IDI_ERROR, IDI_INFORMATION...) drawn the same way here.
double IconLikeness(HWND iconControl, LPCSTR systemIcon);

// How many pixels of colour (0x00RRGGBB) the left end of the window's title
// bar holds, where its icon is drawn.
int CaptionIconPixels(HWND window, uint32_t colour);

// The install location record, HKCU\Software\Brackwen\KESTRAVON\GameDir.
bool ClearRecord();
bool SetRecordString(const std::string& value);
bool SetRecordDword(DWORD value);
// Any type, the bytes as given (a string's closing NUL included by the caller).
bool SetRecordRaw(DWORD type, const std::string& bytes);
// "" also when the value is missing.
std::string ReadRecord();

// Files, whole.
bool ReadWholeFile(const std::string& path, std::string& out);
bool WriteWholeFile(const std::string& path, const std::string& data);
bool FileExists(const std::string& path);
bool IsFolder(const std::string& path);
// Makes the folder and every folder above it that is missing.
bool MakeFolder(const std::string& path);
// Removes the folder and everything in it.
void RemoveTree(const std::string& path);
// Makes an empty folder, removing what was there.
bool FreshFolder(const std::string& folder);
// Names in a folder, "." and ".." left out, in the order the system lists them.
std::vector<std::string> ListFolder(const std::string& folder);
// "a, b, c" of a folder's names, sorted.
std::string Listing(const std::string& folder);

}  // namespace drv
