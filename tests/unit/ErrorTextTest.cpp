// The error box's text: the closing "." and the caption from the program's name.
#include <gtest/gtest.h>

#include <string>

#include "ui/ErrorText.h"

namespace {

std::string Finished(const char* message) {
    char out[kShownErrorCapacity];
    FinishErrorMessage(message, out, sizeof out);
    return out;
}

std::string Title(const char* path) {
    char out[kPathCapacity];
    AppTitleFromModulePath(path, out, sizeof out);
    return out;
}

}  // namespace

TEST(FinishErrorMessage, PeriodOnlyAfterCharactersSortingAboveIt) {
    struct Case {
        const char* message;
        const char* shown;
    } cases[] = {
        {"アップデート完了しました", "アップデート完了しました."},  // double-byte ending
        {"C:\\ソ", "C:\\ソ."},       // ends in a trail byte 0x5C: still one character
        {"ｱ", "ｱ."},                  // half-width katakana, one byte above 0x80
        {"abc", "abc."},
        {"x0", "x0."},
        {"x/", "x/."},  // 0x2F
        {"x.", "x."},   // equal is not above
        {"x-", "x-"},   // 0x2D
        {"x)", "x)"},
        {"x ", "x "},
        {"", ""},
    };
    for (const Case& c : cases) EXPECT_EQ(Finished(c.message), c.shown) << c.message;
}

TEST(FinishErrorMessage, LongestMessageStillGetsItsPeriod) {
    std::string message(Error::kCapacity - 1, 'a');
    EXPECT_EQ(Finished(message.c_str()), message + ".");
}

TEST(AppTitleFromModulePath, NameWithoutFolderCutAtFirstDotRestLowerCase) {
    struct Case {
        const char* path;
        const char* title;
    } cases[] = {
        {"C:\\Games\\SETUP.EXE", "Setup"},
        {"SETUP.EXE", "Setup"},
        {"C:\\x\\setup.exe", "setup"},             // the first letter stays as it is
        {"C:\\x\\UPDATE.TAR.EXE", "Update"},       // cut at the first dot
        {"C:\\v1.2\\UPDATER", "Updater"},          // dots in the folder do not count
        {"C:\\ソ\\FT.EXE", "Ft"},                  // folder ends in a trail byte 0x5C
        {"C:\\x\\ソFT.EXE", "ソft"},               // ...and so does the name's first character
        {"C:\\x\\SETUPア.EXE", "Setupア"},         // ア's trail byte is 'A': not lower-cased
        {"C:\\x\\ＳＥＴＵＰ.EXE", "ＳＥＴＵＰ"},   // full-width letters stay
        {"C:\\x\\", ""},
        {"", ""},
    };
    for (const Case& c : cases) EXPECT_EQ(Title(c.path), c.title) << c.path;
}

TEST(AppTitleFromModulePath, TooLongANameIsCutAtAWholeCharacter) {
    char out[4];
    AppTitleFromModulePath("C:\\aアイ.exe", out, sizeof out);
    EXPECT_STREQ(out, "aア");
}
