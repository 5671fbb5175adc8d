// The error box's text: the closing "." and the caption from the program's name.
#include <gtest/gtest.h>

#include <string>

#include "fakes/UsingCodePage.h"
#include "ui/ErrorText.h"

namespace {

// The runs as "text" for a program run and [text] for a system one.
std::string Runs(const ShownText& shown) {
    std::string joined;
    for (int i = 0; i < shown.RunCount(); ++i) {
        const TextRun& run = shown.Run(i);
        std::string text(run.bytes, run.length);
        joined += run.source == TextSource::kProgram ? "\"" + text + "\"" : "[" + text + "]";
    }
    return joined;
}

std::string Finished(const char* message) {
    ShownText shown = ShownError(Error::Make(message));
    std::string joined;
    for (int i = 0; i < shown.RunCount(); ++i) joined.append(shown.Run(i).bytes, shown.Run(i).length);
    return joined;
}

std::string Title(const char* path) {
    char out[kPathCapacity];
    AppTitleFromModulePath(path, out, sizeof out);
    return out;
}

}  // namespace

TEST(ShownError, PeriodOnlyAfterCharactersSortingAboveIt) {
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

TEST(ShownError, LongestMessageStillGetsItsPeriod) {
    std::string message(Error::kCapacity - 1, 'a');
    EXPECT_EQ(Finished(message.c_str()), message + ".");
}

// Each part reaches the screen converted with its own code page: the path in
// an error is the system's text, the words around it the program's.
TEST(ShownError, TheNameFilledInIsTheSystemsTextTheRestTheProgramsOwn) {
    EXPECT_EQ(Runs(ShownError(Error::Make("ファイル %s を作成できません", "C:\\Jeux \xE0\\x"))),
              "\"ファイル \"[C:\\Jeux \xE0\\x]\" を作成できません\"\".\"");
    EXPECT_EQ(Runs(ShownError(Error::Make("%s リソースが見つかりません", "EXE"))),
              "[EXE]\" リソースが見つかりません\"\".\"");
    EXPECT_EQ(Runs(ShownError(Error::Make("ストリームへの書き込みエラー"))), "\"ストリームへの書き込みエラー\"\".\"");
    EXPECT_EQ(Runs(ShownError(Error())), "");
    // Ending in the name, the name's last character decides: "ソ" is one
    // character though its trail byte is "\\".
    EXPECT_EQ(Runs(ShownError(Error::Make("x %s", "C:\\ソ"))), "\"x \"[C:\\ソ]\".\"");
    EXPECT_EQ(Runs(ShownError(Error::Make("x %s", "a-"))), "\"x \"[a-]");
    // ...read in the system's code page: on a Western one "\xE9)" is two
    // characters, where Shift-JIS would read one led by 0xE9.
    UsingCodePage western(1252);
    EXPECT_EQ(Runs(ShownError(Error::Make("x %s", "C:\\Jeux (Caf\xE9)"))), "\"x \"[C:\\Jeux (Caf\xE9)]");
}

// Past its buffer a text is cut at a whole character of its run's code page
// ("ソ" ends in "\\"), and nothing after the cut is shown.
TEST(ShownText, FittedKeepsWholeRunsThenWholeCharactersThenNothing) {
    const Error error = Error::Make("ファイル %s", "C:\\ソ");
    const ShownText shown = ShownError(error);
    const struct {
        size_t capacity;
        const char* runs;
    } cases[] = {
        {16, "\"ファイル \"[C:\\ソ]\".\""},
        {15, "\"ファイル \"[C:\\ソ]"},  // full after the name
        {14, "\"ファイル \"[C:\\]"},
        {5, "\"ファ\""},
        {4, "\"フ\""},
        {1, ""},
        {0, ""},
    };
    for (const auto& c : cases) EXPECT_EQ(Runs(shown.Fitted(c.capacity)), c.runs) << c.capacity;
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
