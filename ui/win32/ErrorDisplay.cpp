// The error box: every failure a handler returns ends up here.
#include "ui/win32/ErrorDisplay.h"

#include "resources/Texts.h"
#include "ui/ErrorText.h"
#include "ui/win32/MessageDialog.h"

void ShowError(HWND owner, const Error& error) {
    char path[kPathCapacity] = "";
    DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
    path[length < sizeof path ? length : sizeof path - 1] = '\0';
    char title[kPathCapacity];
    AppTitleFromModulePath(path, title, sizeof title);

    const MessageButton ok[] = {{texts::kButtonOk, true, true}};
    ShowMessageDialog(owner, ShownText::System(title), MessageIcon::Error, ShownError(error), ok, 1);
}
