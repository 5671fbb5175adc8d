// Window plumbing shared by the main window, the locate dialog and the boxes.
#include "ui/win32/Window.h"

#include "platform/win32/Owned.h"
#include "ui/Centring.h"
#include "ui/win32/WindowText.h"

namespace {

OwnedGdi g_font;

constexpr int kFontHeight = 12;  // character height in pixels, not rescaled

struct FrameStyle {
    DWORD style;
    DWORD exStyle;
};

FrameStyle StyleOf(Frame frame) {
    if (frame == Frame::Dialog) {
        return {WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN,
                WS_EX_DLGMODALFRAME | WS_EX_WINDOWEDGE};
    }
    return {WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, WS_EX_WINDOWEDGE};
}

HWND RootOf(HWND window) {
    while (window && (GetWindowLongA(window, GWL_STYLE) & WS_CHILD)) window = GetParent(window);
    return window;
}

HWND FirstTabStop(HWND window) {
    for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if ((GetWindowLongA(child, GWL_STYLE) & WS_TABSTOP) && IsWindowVisible(child) &&
            IsWindowEnabled(child)) {
            return child;
        }
    }
    return nullptr;
}

HICON g_programIcon;      // the big one, for Alt+Tab and the task bar
HICON g_programSmallIcon; // the title bar's
bool g_programIconLooked;

// Loads the first icon group the enumeration offers, while its name is valid.
BOOL CALLBACK LoadFirstIconGroup(HMODULE self, LPCSTR, LPSTR name, LONG_PTR) {
    // Shared icons stay with the system for the program's lifetime.
    g_programIcon = LoadIconA(self, name);
    g_programSmallIcon = static_cast<HICON>(LoadImageA(self, name, IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                                                       GetSystemMetrics(SM_CYSMICON), LR_SHARED));
    return FALSE;
}

void Dispatch(MSG& msg) {
    if (TranslateDialogKeys(msg)) return;
    TranslateMessage(&msg);
    DispatchWindowMessage(msg);
}

}  // namespace

bool RegisterLayoutClass(HINSTANCE instance, const char* className, WNDPROC wndProc) {
    WNDCLASSA existing;
    if (GetClassInfoA(instance, className, &existing)) return true;
    WNDCLASSA wc = {};
    wc.lpfnWndProc = wndProc;
    wc.hInstance = instance;
    wc.hIcon = LoadIconA(nullptr, IDI_APPLICATION);
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = className;
    return RegisterWindowClass(wc);
}

void ShowProgramIcon(HWND window) {
    if (!g_programIconLooked) {
        g_programIconLooked = true;
        EnumResourceNamesA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(14), LoadFirstIconGroup,  // RT_GROUP_ICON
                           0);
    }
    if (g_programIcon) SendMessageA(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(g_programIcon));
    if (g_programSmallIcon) {
        SendMessageA(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(g_programSmallIcon));
    }
}

HFONT WindowFont() {
    if (!g_font.Valid()) g_font = OwnedGdi(CreateProgramFont(-kFontHeight));
    return static_cast<HFONT>(g_font.Get());
}

HWND CreateControl(HWND parent, const ControlLayout& control) {
    // By ControlKind: the class and the style of each control.
    struct KindStyle {
        const char* className;
        DWORD style;
    };
    static const KindStyle kKinds[] = {
        {"BUTTON", BS_PUSHBUTTON},
        {"BUTTON", BS_DEFPUSHBUTTON},
        // One line, never wrapped; "&" is a character like any other (a path
        // in the progress line may hold one).
        {"STATIC", SS_LEFTNOWORDWRAP | SS_NOPREFIX},
        {"STATIC", 0},
        {"STATIC", SS_BITMAP},
        {"EDIT", ES_AUTOHSCROLL},
        {"LISTBOX", WS_VSCROLL | LBS_NOTIFY | LBS_OWNERDRAWFIXED | LBS_HASSTRINGS | LBS_NOINTEGRALHEIGHT},
        {"LISTBOX", WS_DISABLED | WS_VSCROLL | LBS_SORT | LBS_NOINTEGRALHEIGHT},
        {"COMBOBOX", WS_VSCROLL | CBS_DROPDOWNLIST},
    };
    static_assert(sizeof kKinds / sizeof kKinds[0] == static_cast<int>(ControlKind::DropList) + 1, "one per ControlKind");
    const KindStyle& kind = kKinds[static_cast<int>(control.kind)];
    DWORD style = WS_CHILD | WS_VISIBLE | kind.style;
    int width = control.width;
    if (control.kind == ControlKind::Label) {
        RECT client;
        GetClientRect(parent, &client);
        if (client.right - control.x > width) width = client.right - control.x;
    }
    // A bitmap static would take its caption for a resource name.
    bool captioned = control.kind != ControlKind::Image;
    if (control.tab >= 0) style |= WS_TABSTOP;
    // Fields and lists sit sunken in the dialog face.
    bool sunken = control.kind >= ControlKind::Edit && control.kind <= ControlKind::FileList;
    HWND window = CreateTextWindow(sunken ? WS_EX_CLIENTEDGE : 0, kind.className,
                                   captioned ? ShownText(control.caption) : ShownText(), style, control.x, control.y,
                                   width, control.height, parent,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(control.id)),
                                   reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(parent, GWLP_HINSTANCE)),
                                   nullptr);
    if (window) SendMessageA(window, WM_SETFONT, reinterpret_cast<WPARAM>(WindowFont()), FALSE);
    return window;
}

Error CreateLayoutWindow(HINSTANCE instance, const WindowLayout& layout, WNDPROC wndProc,
                         HWND owner, HWND* created) {
    *created = nullptr;
    if (!RegisterLayoutClass(instance, layout.className, wndProc)) {
        return Error::Make(texts::kWindowNotCreated, layout.className);
    }
    FrameStyle frame = StyleOf(layout.frame);
    RECT outer = {0, 0, layout.width, layout.height};
    if (layout.frame == Frame::Dialog) AdjustWindowRectEx(&outer, frame.style, FALSE, frame.exStyle);

    HWND window = CreateTextWindow(frame.exStyle, layout.className, layout.caption, frame.style, 0, 0,
                                   outer.right - outer.left, outer.bottom - outer.top, owner, nullptr, instance,
                                   nullptr);
    if (!window) return Error::Make(texts::kWindowNotCreated, layout.className);
    SendMessageA(window, WM_SETFONT, reinterpret_cast<WPARAM>(WindowFont()), FALSE);
    ShowProgramIcon(window);
    for (int i = 0; i < layout.controlCount; ++i) {
        if (!CreateControl(window, layout.controls[i])) {
            DestroyWindow(window);
            return Error::Make(texts::kWindowNotCreated, layout.className);
        }
    }
    *created = window;
    return {};
}

void CentreOnScreen(HWND window) {
    RECT outer;
    GetWindowRect(window, &outer);
    int left = CentredOrigin(GetSystemMetrics(SM_CXSCREEN), outer.right - outer.left);
    int top = CentredOrigin(GetSystemMetrics(SM_CYSCREEN), outer.bottom - outer.top);
    SetWindowPos(window, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void KeepFocusOnActivate(HWND window, WPARAM activation, HWND& savedFocus) {
    if (LOWORD(activation) == WA_INACTIVE) {
        HWND focus = GetFocus();
        if (focus && IsChild(window, focus)) savedFocus = focus;
        return;
    }
    if (HIWORD(activation)) return;  // minimised: nothing to focus
    HWND target = savedFocus;
    if (!target || !IsWindow(target) || !IsWindowVisible(target) || !IsWindowEnabled(target)) {
        target = FirstTabStop(window);
    }
    SetFocus(target ? target : window);
}

bool TranslateDialogKeys(MSG& msg) {
    HWND root = RootOf(msg.hwnd);
    if (!root) return false;
    if (msg.message == WM_KEYDOWN && msg.wParam == VK_RETURN) {
        // Enter acts on the focused button only; left to IsDialogMessage, a
        // window that is not a dialog would get IDOK instead.
        HWND focus = GetFocus();
        if (focus && IsChild(root, focus) &&
            (SendMessageA(focus, WM_GETDLGCODE, 0, 0) & (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON))) {
            SendMessageA(focus, BM_CLICK, 0, 0);
            return true;
        }
    }
    return IsDialogMessageOf(root, msg);
}

void RunMessageLoop() {
    MSG msg;
    while (GetNextMessage(msg) > 0) Dispatch(msg);
}

bool PumpPendingMessages() {
    MSG msg;
    while (PeekNextMessage(msg)) {
        if (msg.message == WM_QUIT) {  // not ours to eat: the main loop needs it
            PostQuitMessage(static_cast<int>(msg.wParam));
            return false;
        }
        Dispatch(msg);
    }
    return true;
}

void RunModalLoop(const bool& ended) {
    MSG msg;
    while (!ended) {
        BOOL got = GetNextMessage(msg);
        if (got == 0) {
            PostQuitMessage(static_cast<int>(msg.wParam));  // not ours to eat
            return;
        }
        if (got < 0) return;
        Dispatch(msg);
    }
}

DisabledOwner::DisabledOwner(HWND owner)
    : owner_(owner), wasEnabled_(owner && !EnableWindow(owner, FALSE)) {}

DisabledOwner::~DisabledOwner() { Restore(); }

void DisabledOwner::Restore() {
    if (wasEnabled_) EnableWindow(owner_, TRUE);
    wasEnabled_ = false;
}
