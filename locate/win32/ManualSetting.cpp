// The manual setting button of the locate dialog: pick a folder, keep it if
// the game is there.
#include "locate/ManualSetting.h"

#include "locate/FolderPath.h"
#include "locate/win32/FolderPicker.h"
#include "locate/win32/LocateDialog.h"
#include "platform/win32/Win32Folders.h"
#include "platform/win32/Win32Registry.h"

Error Button2Click(LocateDialog& dialog) {
    char chosen[kPathCapacity];
    if (!PickFolder(dialog.window, "", chosen, sizeof chosen)) return {};
    Win32Folders folders;
    ManualOutcome outcome;
    {
        // Opened for this one write and closed before the dialog goes.
        Win32Registry registry;
        if (Error e = ApplyManualChoice(folders, registry, chosen, &outcome)) return e;
    }
    if (outcome == ManualOutcome::kStored) CloseLocateDialog(dialog);
    return {};
}
