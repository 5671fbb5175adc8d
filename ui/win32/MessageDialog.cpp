// A modal message box window of our own: MessageBoxA would label its buttons
// in the system's language, and this program's texts are fixed.
#include "ui/win32/MessageDialog.h"

#include <string.h>

#include "platform/win32/Owned.h"
#include "resources/Layouts.h"
#include "resources/Names.h"
#include "ui/MessageLayout.h"
#include "ui/win32/Window.h"
#include "ui/win32/WindowText.h"

namespace {

struct MessageDialogState {
    const MessageButton* buttons;
    int buttonCount;
    int result;
    bool ended;
    HWND focus;
};

constexpr DWORD kStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU;
constexpr DWORD kExStyle = WS_EX_DLGMODALFRAME | WS_EX_WINDOWEDGE;

int CancelChoice(const MessageDialogState& state) {
    for (int i = 0; i < state.buttonCount; ++i) {
        if (state.buttons[i].isCancel) return i;
    }
    return kMessageClosed;
}

void End(MessageDialogState& state, int result) {
    state.result = result;
    state.ended = true;
}

void OnCommand(MessageDialogState& state, int id) {
    if (id == IDCANCEL) {
        // Esc means something only when a button stands for it.
        int cancel = CancelChoice(state);
        if (cancel != kMessageClosed) End(state, cancel);
        return;
    }
    int index = id - kIdMessageButtonFirst;
    if (index >= 0 && index < state.buttonCount) End(state, index);
}

LRESULT CALLBACK MessageDialogProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTA*>(lp);
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* state = reinterpret_cast<MessageDialogState*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (state) {
        switch (msg) {
        case WM_COMMAND:
            OnCommand(*state, LOWORD(wp));
            return 0;
        case WM_CLOSE:
            End(*state, CancelChoice(*state));
            return 0;
        case WM_ACTIVATE:
            KeepFocusOnActivate(hwnd, wp, state->focus);
            return 0;
        }
    }
    return DefaultWindowProc(hwnd, msg, wp, lp);
}

struct IconChoice {
    const char* icon;
    UINT sound;
};

IconChoice IconFor(MessageIcon icon) {
    switch (icon) {
    case MessageIcon::Error:
        return {IDI_ERROR, MB_ICONHAND};
    case MessageIcon::Information:
        return {IDI_INFORMATION, MB_ICONASTERISK};
    case MessageIcon::Question:
        break;
    }
    return {IDI_QUESTION, MB_ICONQUESTION};
}

// Lays the box out around its text as the window font draws it.
void PlaceParts(HWND box, const ShownText& text, const MessageButton* buttons, int buttonCount) {
    RECT textRect = {0, 0, GetSystemMetrics(SM_CXSCREEN) / 2, 0};
    int captionWidth = 0;
    {
        WindowDc dc(box);
        SelectScope useFont(dc.Get(), WindowFont());
        DrawShownText(dc.Get(), text, textRect, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX | DT_EXPANDTABS);
        for (int i = 0; i < buttonCount; ++i) {
            SIZE size = MeasureShownText(dc.Get(), buttons[i].caption);
            if (size.cx > captionWidth) captionWidth = size.cx;
        }
    }

    MessageLayout layout = LayOutMessage(textRect.right - textRect.left,
                                         textRect.bottom - textRect.top, captionWidth, buttonCount);
    auto place = [box](int id, const Bounds& at) {
        SetWindowPos(GetDlgItem(box, id), nullptr, at.x, at.y, at.width, at.height,
                     SWP_NOZORDER | SWP_NOACTIVATE);
    };
    place(kIdMessageIcon, layout.icon);
    place(kIdMessageText, layout.text);
    for (int i = 0; i < layout.buttonCount; ++i) place(kIdMessageButtonFirst + i, layout.buttons[i]);

    RECT outer = {0, 0, layout.clientWidth, layout.clientHeight};
    AdjustWindowRectEx(&outer, kStyle, FALSE, kExStyle);
    SetWindowPos(box, nullptr, 0, 0, outer.right - outer.left, outer.bottom - outer.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

HWND CreateStatic(HWND box, int id, const ShownText& text, DWORD style) {
    HWND control = CreateTextWindow(0, "STATIC", text, WS_CHILD | WS_VISIBLE | style, 0, 0, 0, 0, box,
                                    reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), nullptr, nullptr);
    if (control) SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(WindowFont()), FALSE);
    return control;
}

// Returns the button that starts with the focus, or null when a part failed.
HWND CreateParts(HWND box, MessageIcon icon, const ShownText& text, const MessageButton* buttons,
                 int buttonCount) {
    HWND iconControl = CreateStatic(box, kIdMessageIcon, ShownText(), SS_ICON);
    if (!iconControl) return nullptr;
    SendMessageA(iconControl, STM_SETICON,
                 reinterpret_cast<WPARAM>(LoadIconA(nullptr, IconFor(icon).icon)), 0);
    if (!CreateStatic(box, kIdMessageText, text, SS_LEFT | SS_NOPREFIX)) return nullptr;

    HWND focus = nullptr;
    for (int i = 0; i < buttonCount; ++i) {
        HWND button = CreateControl(box, {ControlKind::Button, kIdMessageButtonFirst + i, 0, 0, 0, 0,
                                          buttons[i].caption, i});
        if (!button) return nullptr;
        if (buttons[i].isDefault) {
            SendMessageA(button, BM_SETSTYLE, BS_DEFPUSHBUTTON, FALSE);
            focus = button;
        }
        if (!focus && i == 0) focus = button;
    }
    return focus;
}

}  // namespace

int ShowMessageDialog(HWND owner, const ShownText& caption, MessageIcon icon, const ShownText& text,
                      const MessageButton* buttons, int buttonCount) {
    if (buttonCount > kMaxMessageButtons) buttonCount = kMaxMessageButtons;
    HINSTANCE instance = GetModuleHandleA(nullptr);
    if (!RegisterLayoutClass(instance, names::kMessageDialogClass, MessageDialogProc)) return kMessageClosed;

    MessageDialogState state = {buttons, buttonCount, kMessageClosed, false, nullptr};
    HWND box = CreateTextWindow(kExStyle, names::kMessageDialogClass, caption, kStyle, 0, 0, 0, 0, owner,
                                nullptr, instance, &state);
    if (!box) return kMessageClosed;
    SendMessageA(box, WM_SETFONT, reinterpret_cast<WPARAM>(WindowFont()), FALSE);
    ShowProgramIcon(box);
    state.focus = CreateParts(box, icon, text, buttons, buttonCount);
    if (!state.focus && buttonCount > 0) {
        DestroyWindow(box);
        return kMessageClosed;
    }
    PlaceParts(box, text, buttons, buttonCount);
    CentreOnScreen(box);

    DisabledOwner disabled(owner);
    ShowWindow(box, SW_SHOW);
    MessageBeep(IconFor(icon).sound);
    RunModalLoop(state.ended);
    disabled.Restore();
    DestroyWindow(box);
    return state.result;
}

void ShowInformation(HWND owner, ProgramText text) {
    const MessageButton ok[] = {{texts::kButtonOk, true, true}};
    ShowMessageDialog(owner, texts::kInfoCaption, MessageIcon::Information, text, ok, 1);
}

bool AskConfirmation(HWND owner, ProgramText text) {
    const MessageButton yesNo[] = {{texts::kButtonYes, true, false}, {texts::kButtonNo, false, true}};
    return ShowMessageDialog(owner, texts::kConfirmCaption, MessageIcon::Question, text, yesNo, 2) == 0;
}
