// Unicode windows where the system has them, ANSI ones where it does not.
#include "ui/win32/WindowText.h"

#include <string.h>

#include "platform/Error.h"
#include "platform/Text.h"
#include "resources/Names.h"
#include "resources/Texts.h"

namespace {

// Room for any text the program shows. The longest is an error's message
// with its closing "." (a path may fill it); the longest of the program's
// own, the picker's help, is shorter still.
constexpr int kShownCapacity = 1024;
static_assert(Error::kCapacity <= kShownCapacity / 2, "an error's message and its \".\" fit with room to spare");

constexpr size_t LengthOf(ProgramText text) {
    size_t length = 0;
    while (text.bytes[length] != '\0') ++length;
    return length;
}
static_assert(LengthOf(texts::kSelectHelpText) < kShownCapacity / 2, "the picker's help fits with room to spare");

// Windows 98/Me export these as stubs that fail, so importing them would
// only work by luck; they are looked up, and asked for only where the
// Unicode windows are used.
struct WideFunctions {
    decltype(&RegisterClassW) registerClass;
    decltype(&CreateWindowExW) createWindowEx;
    decltype(&DefWindowProcW) defWindowProc;
    decltype(&DialogBoxIndirectParamW) dialogBoxIndirectParam;
    decltype(&GetMessageW) getMessage;
    decltype(&PeekMessageW) peekMessage;
    decltype(&DispatchMessageW) dispatchMessage;
    decltype(&IsDialogMessageW) isDialogMessage;
    decltype(&SendMessageW) sendMessage;
    decltype(&SetWindowTextW) setWindowText;
    decltype(&GetWindowTextW) getWindowText;
    decltype(&DrawTextW) drawText;
    decltype(&GetClassInfoW) getClassInfo;
    decltype(&CreateFontW) createFont;
};

WideFunctions g_wide;
bool g_unicode;  // DecideWindowMode's answer

template <class T>
bool Look(HMODULE module, const char* name, T& function) {
    function = reinterpret_cast<T>(reinterpret_cast<void*>(GetProcAddress(module, name)));
    return function != nullptr;
}

bool LookUpWideFunctions() {
    HMODULE user = GetModuleHandleA("user32.dll");
    HMODULE gdi = GetModuleHandleA("gdi32.dll");
    if (!user || !gdi) return false;
    WideFunctions& w = g_wide;
    return Look(user, "RegisterClassW", w.registerClass) && Look(user, "CreateWindowExW", w.createWindowEx) &&
           Look(user, "DefWindowProcW", w.defWindowProc) &&
           Look(user, "DialogBoxIndirectParamW", w.dialogBoxIndirectParam) &&
           Look(user, "GetMessageW", w.getMessage) && Look(user, "PeekMessageW", w.peekMessage) &&
           Look(user, "DispatchMessageW", w.dispatchMessage) && Look(user, "IsDialogMessageW", w.isDialogMessage) &&
           Look(user, "SendMessageW", w.sendMessage) && Look(user, "SetWindowTextW", w.setWindowText) &&
           Look(user, "GetWindowTextW", w.getWindowText) && Look(user, "DrawTextW", w.drawText) &&
           Look(user, "GetClassInfoW", w.getClassInfo) && Look(gdi, "CreateFontW", w.createFont);
}

UINT CodePageOf(TextSource source) {
    return source == TextSource::kProgram ? CodePage::kShiftJis : CP_ACP;
}

// A text as UTF-16 (Unicode windows) or as the bytes it is made of, cut at
// a whole character where it would not fit.
class Converted {
public:
    explicit Converted(const ShownText& text) {
        ShownText fitted = text.Fitted(kShownCapacity);
        for (int i = 0; i < fitted.RunCount(); ++i) {
            const TextRun& run = fitted.Run(i);
            int size = static_cast<int>(run.length);
            if (UnicodeWindows()) {
                // Never fails for want of room: no character takes more
                // UTF-16 units than bytes.
                length_ += MultiByteToWideChar(CodePageOf(run.source), 0, run.bytes, size, wide_ + length_,
                                               kShownCapacity - 1 - length_);
            } else {
                memcpy(bytes_ + length_, run.bytes, run.length);
                length_ += size;
            }
        }
        wide_[length_] = L'\0';
        bytes_[length_] = '\0';
    }
    const WCHAR* Wide() const { return wide_; }
    const char* Bytes() const { return bytes_; }
    int Length() const { return length_; }

private:
    WCHAR wide_[kShownCapacity];
    char bytes_[kShownCapacity];
    int length_ = 0;
};

// Class names are ASCII.
struct WideName {
    explicit WideName(const char* name) {
        size_t i = 0;
        for (; name && name[i] != '\0' && i + 1 < sizeof text / sizeof text[0]; ++i) text[i] = name[i];
        text[i] = L'\0';
    }
    WCHAR text[64];
};

}  // namespace

void DecideWindowMode(bool ansiOnly) {
    // Asked of the functions themselves, not of the version: Windows 98
    // exports them as stubs, and a newer system in 98 compatibility mode
    // reports 98 while it has them.
    WNDCLASSW button;
    g_unicode = !ansiOnly && IsValidCodePage(CodePage::kShiftJis) && LookUpWideFunctions() &&
                g_wide.getClassInfo(nullptr, L"BUTTON", &button);
}

bool UnicodeWindows() {
    return g_unicode;
}

bool RegisterWindowClass(const WNDCLASSA& wc) {
    if (!UnicodeWindows()) return RegisterClassA(&wc) != 0;
    WideName name(wc.lpszClassName);
    WNDCLASSW wide = {};
    wide.style = wc.style;
    wide.lpfnWndProc = wc.lpfnWndProc;
    wide.hInstance = wc.hInstance;
    wide.hIcon = wc.hIcon;
    wide.hCursor = wc.hCursor;
    wide.hbrBackground = wc.hbrBackground;
    wide.lpszClassName = name.text;
    return g_wide.registerClass(&wide) != 0;
}

HWND CreateTextWindow(DWORD exStyle, const char* className, const ShownText& text, DWORD style, int x, int y,
                      int width, int height, HWND parent, HMENU menu, HINSTANCE instance, void* param) {
    // No text at all, not an empty one: a bitmap or icon static would take
    // its text for the name of a resource to load.
    Converted caption(text);
    bool none = text.RunCount() == 0;
    if (!UnicodeWindows()) {
        return CreateWindowExA(exStyle, className, none ? nullptr : caption.Bytes(), style, x, y, width, height,
                               parent, menu, instance, param);
    }
    WideName name(className);
    return g_wide.createWindowEx(exStyle, name.text, none ? nullptr : caption.Wide(), style, x, y, width, height,
                                 parent, menu, instance, param);
}

LRESULT DefaultWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (UnicodeWindows()) return g_wide.defWindowProc(window, message, wParam, lParam);
    return DefWindowProcA(window, message, wParam, lParam);
}

INT_PTR ShowDialogFromTemplate(HINSTANCE instance, const DLGTEMPLATE* form, HWND owner, DLGPROC proc,
                               LPARAM param) {
    if (UnicodeWindows()) return g_wide.dialogBoxIndirectParam(instance, form, owner, proc, param);
    return DialogBoxIndirectParamA(instance, form, owner, proc, param);
}

BOOL GetNextMessage(MSG& msg) {
    return UnicodeWindows() ? g_wide.getMessage(&msg, nullptr, 0, 0) : GetMessageA(&msg, nullptr, 0, 0);
}

BOOL PeekNextMessage(MSG& msg) {
    return UnicodeWindows() ? g_wide.peekMessage(&msg, nullptr, 0, 0, PM_REMOVE)
                            : PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE);
}

void DispatchWindowMessage(const MSG& msg) {
    if (UnicodeWindows()) g_wide.dispatchMessage(&msg);
    else DispatchMessageA(&msg);
}

bool IsDialogMessageOf(HWND dialog, MSG& msg) {
    return (UnicodeWindows() ? g_wide.isDialogMessage(dialog, &msg) : IsDialogMessageA(dialog, &msg)) != FALSE;
}

void SetShownText(HWND window, const ShownText& text) {
    Converted shown(text);
    if (UnicodeWindows()) g_wide.setWindowText(window, shown.Wide());
    else SetWindowTextA(window, shown.Bytes());
}

LRESULT AddShownItem(HWND list, UINT message, const ShownText& item) {
    Converted shown(item);
    if (UnicodeWindows()) return g_wide.sendMessage(list, message, 0, reinterpret_cast<LPARAM>(shown.Wide()));
    return SendMessageA(list, message, 0, reinterpret_cast<LPARAM>(shown.Bytes()));
}

ReadStatus ReadSystemText(HWND window, char* out, size_t capacity) {
    if (capacity == 0) return ReadStatus::kTooLong;
    out[0] = '\0';
    if (!UnicodeWindows()) {
        // The field holds the system's bytes already; one more than fits
        // tells a cut.
        char text[kShownCapacity];
        int length = GetWindowTextA(window, text, sizeof text);
        if (length < 0 || static_cast<size_t>(length) >= capacity) return ReadStatus::kTooLong;
        memcpy(out, text, static_cast<size_t>(length) + 1);
        return ReadStatus::kOk;
    }
    WCHAR typed[kShownCapacity];
    int length = g_wide.getWindowText(window, typed, kShownCapacity);
    if (length <= 0) return ReadStatus::kOk;
    // A character the code page lacks would come back as "?" or as a
    // look-alike ("A" for "Ā"): only a text that converts back to itself
    // names the folder the user typed. That comparison alone decides: where
    // the code page is UTF-8 the call fails when asked whether a default
    // character was used.
    int bytes = WideCharToMultiByte(CP_ACP, 0, typed, length, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0) return ReadStatus::kNotInCodePage;
    if (static_cast<size_t>(bytes) >= capacity) return ReadStatus::kTooLong;
    WideCharToMultiByte(CP_ACP, 0, typed, length, out, bytes, nullptr, nullptr);
    out[bytes] = '\0';
    WCHAR back[kShownCapacity];
    int backLength = MultiByteToWideChar(CP_ACP, 0, out, bytes, back, kShownCapacity);
    if (backLength != length || memcmp(back, typed, sizeof typed[0] * static_cast<size_t>(length)) != 0) {
        out[0] = '\0';
        return ReadStatus::kNotInCodePage;
    }
    return ReadStatus::kOk;
}

int DrawShownText(HDC dc, const ShownText& text, RECT& rect, UINT format) {
    Converted shown(text);
    if (UnicodeWindows()) return g_wide.drawText(dc, shown.Wide(), shown.Length(), &rect, format);
    return DrawTextA(dc, shown.Bytes(), shown.Length(), &rect, format);
}

SIZE MeasureShownText(HDC dc, const ShownText& text) {
    Converted shown(text);
    SIZE size = {};
    if (UnicodeWindows()) GetTextExtentPoint32W(dc, shown.Wide(), shown.Length(), &size);
    else GetTextExtentPoint32A(dc, shown.Bytes(), shown.Length(), &size);
    return size;
}

void DrawShownTextAt(HDC dc, int x, int y, const ShownText& text) {
    Converted shown(text);
    if (UnicodeWindows()) TextOutW(dc, x, y, shown.Wide(), shown.Length());
    else TextOutA(dc, x, y, shown.Bytes(), shown.Length());
}

void DrawListItem(HDC dc, HWND list, UINT item, int x, int y) {
    if (UnicodeWindows()) {
        WCHAR text[kShownCapacity];
        if (g_wide.sendMessage(list, LB_GETTEXTLEN, item, 0) >= kShownCapacity) return;
        LRESULT length = g_wide.sendMessage(list, LB_GETTEXT, item, reinterpret_cast<LPARAM>(text));
        if (length > 0) TextOutW(dc, x, y, text, static_cast<int>(length));
        return;
    }
    char text[kShownCapacity];
    if (SendMessageA(list, LB_GETTEXTLEN, item, 0) >= kShownCapacity) return;
    LRESULT length = SendMessageA(list, LB_GETTEXT, item, reinterpret_cast<LPARAM>(text));
    if (length > 0) TextOutA(dc, x, y, text, static_cast<int>(length));
}

HFONT CreateProgramFont(int height) {
    if (!UnicodeWindows()) {
        return CreateFontA(height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, SHIFTJIS_CHARSET, OUT_DEFAULT_PRECIS,
                           CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, names::kFontFace);
    }
    // The face name is Shift-JIS: read in the system's code page it would
    // name no font on a system of another language.
    WCHAR face[LF_FACESIZE] = {};
    MultiByteToWideChar(CodePage::kShiftJis, 0, names::kFontFace, -1, face, LF_FACESIZE - 1);
    return g_wide.createFont(height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, SHIFTJIS_CHARSET, OUT_DEFAULT_PRECIS,
                             CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, face);
}
