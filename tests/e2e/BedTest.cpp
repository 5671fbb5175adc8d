// The bed itself: the prefix sees no more of the machine than the tests gave it.
#include "driver/Updater.h"

namespace {

void OnlyTheBedsDrives() {
    DWORD allowed = 1u << ('C' - 'A');
    std::string full = upd::Env("E2E_FULL_DRIVE");
    if (!full.empty()) allowed |= 1u << (full[0] - 'A');
    DWORD drives = GetLogicalDrives();
    std::string extra;
    for (int i = 0; i < 26; ++i) {
        if ((drives & ~allowed) & (1u << i)) extra += static_cast<char>('A' + i);
    }
    check::ExpectEq(extra, std::string(), "drive letters beyond the bed's");
    check::ExpectEq(static_cast<int>(GetDriveTypeA("C:\\")), DRIVE_FIXED, "type of C:");
    if (!full.empty()) {
        check::ExpectEq(static_cast<int>(GetDriveTypeA((full + "\\").c_str())), DRIVE_FIXED, "type of " + full);
    }
}

void ProfileFoldersAreEmptyFolders() {
    std::string profile = upd::Env("USERPROFILE");
    check::Require(!profile.empty(), "no USERPROFILE");
    for (const char* sub : {"Desktop", "Documents", "Downloads", "Music", "Pictures", "Videos"}) {
        std::string folder = profile + "\\" + sub;
        DWORD attributes = GetFileAttributesA(folder.c_str());
        check::Expect(attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_REPARSE_POINT),
                      folder + " is missing or a link");
        check::ExpectEq(drv::Listing(folder), std::string(), folder + " holds");
    }
}

}  // namespace

int main(int argc, char** argv) {
    return check::Run(argc, argv, {
        {"bed: only C: and the run's own drives exist; no Z: onto the whole file system", OnlyTheBedsDrives},
        {"bed: the profile folders are empty folders, not links into the home folder", ProfileFoldersAreEmptyFolders},
    });
}
