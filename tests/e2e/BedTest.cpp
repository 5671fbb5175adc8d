// The bed itself: the prefix sees no more of the machine than the tests gave it.
#include "driver/Updater.h"

int main(int argc, char** argv) {
    check::Suite suite(argc, argv);

    suite.Case("bed: only C: and the run's own drives exist; no Z: onto the whole file system", [&] {
        DWORD allowed = 1u << ('C' - 'A');
        std::string full = bed::Env("E2E_FULL_DRIVE");
        if (!full.empty()) allowed |= 1u << (full[0] - 'A');
        DWORD drives = GetLogicalDrives();
        std::string extra;
        for (int i = 0; i < 26; ++i) {
            if ((drives & ~allowed) & (1u << i)) extra += static_cast<char>('A' + i);
        }
        suite.ExpectEq(extra, std::string(), "drive letters beyond the bed's");
        suite.ExpectEq(static_cast<int>(GetDriveTypeA("C:\\")), DRIVE_FIXED, "type of C:");
        if (!full.empty()) {
            suite.ExpectEq(static_cast<int>(GetDriveTypeA((full + "\\").c_str())), DRIVE_FIXED, "type of " + full);
        }
    });

    suite.Case("bed: the profile folders are empty folders, not links into the home folder", [&] {
        char profile[MAX_PATH] = {};
        GetEnvironmentVariableA("USERPROFILE", profile, sizeof profile);
        suite.Require(profile[0] != '\0', "no USERPROFILE");
        for (const char* sub : {"Desktop", "Documents", "Downloads", "Music", "Pictures", "Videos"}) {
            std::string folder = std::string(profile) + "\\" + sub;
            DWORD attributes = GetFileAttributesA(folder.c_str());
            suite.Expect(attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_REPARSE_POINT),
                         folder + " is missing or a link");
            suite.ExpectEq(bed::Listing(folder), std::string(), folder + " holds");
        }
    });

    return suite.Finish();
}
