// The text and path rules that a byte-by-byte scan would get wrong on
// double-byte characters whose trail byte looks like ASCII.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fakes/UsingCodePage.h"
#include "locate/InstallRecord.h"
#include "platform/Error.h"
#include "platform/Path.h"
#include "platform/Text.h"

namespace {

std::vector<std::string> StepNames(const char* path) {
    PathStep steps[16];
    size_t count = PathSteps(path, steps, 16);
    std::vector<std::string> names;
    for (size_t i = 0; i < count && i < 16; ++i) {
        EXPECT_LE(steps[i].start, steps[i].end);
        names.push_back(std::string(path + steps[i].start, steps[i].end - steps[i].start) + "|" +
                        std::string(path, steps[i].end));
    }
    return names;
}

}  // namespace

TEST(PathRules, StepsNameEachFolderDownFromTheRoot) {
    using V = std::vector<std::string>;
    struct Case {
        const char* path;
        V want;  // shown name | folder path
    } cases[] = {
        {"C:\\Games\\Vesperlin", V{"C:\\|C:\\", "Games|C:\\Games", "Vesperlin|C:\\Games\\Vesperlin"}},
        {"D:\\", V{"D:\\|D:\\"}},
        {"C:\\a\\\\", V{"C:\\|C:\\", "a|C:\\a"}},
        {"C:/a/b", V{"C:/|C:/", "a|C:/a", "b|C:/a/b"}},
        // "ソ" and "表" end in 0x5C: not separators.
        {"C:\\ソ\\表x\\表", V{"C:\\|C:\\", "ソ|C:\\ソ", "表x|C:\\ソ\\表x", "表|C:\\ソ\\表x\\表"}},
        {"\\\\srv\\share\\Game", V{"\\\\srv\\share\\|\\\\srv\\share\\", "Game|\\\\srv\\share\\Game"}},
        {"\\\\srv\\share", V{"\\\\srv\\share|\\\\srv\\share"}},
        {"Game\\Data", V{"Game|Game", "Data|Game\\Data"}},
        // A lead byte just before the end stands alone: what follows the
        // terminator is never read.
        {"C:\\a\x83\0\\b", V{"C:\\|C:\\", "a\x83|C:\\a\x83"}},
        {"", V{}},
    };
    for (const Case& c : cases) EXPECT_EQ(StepNames(c.path), c.want) << c.path;
}

TEST(PathRules, OnlyDriveAndNetworkPathsAreFull) {
    for (const char* full : {"C:\\", "c:\\Game", "C:/Game", "\\\\srv\\share\\Game"}) {
        EXPECT_TRUE(IsFullPath(full)) << full;
    }
    // Each of these depends on the current drive or folder.
    for (const char* relative : {"", "Game", "..\\Game", "\\Game", "C:", "C:Game", "ソ\\x", "\\\\server",
                                 "\\\\server\\", "\\\\\\share"}) {
        EXPECT_FALSE(IsFullPath(relative)) << relative;
    }
}

TEST(PathRules, DeepPathReportsFullCountWithoutOverrun) {
    PathStep steps[2] = {};
    EXPECT_EQ(PathSteps("C:\\a\\b\\c", steps, 2), 4u);
    EXPECT_EQ(steps[1].end, 4u);
}

// A join adds a separator only where one is missing; the record is the
// folder as given plus one "\\", nothing else added or removed.
TEST(PathRules, JoinAddsOneSeparatorRecordAlwaysAppendsOne) {
    struct Case {
        const char* folder;
        const char* joined;  // with "x"
        const char* record;
    } cases[] = {
        {"D:\\Game", "D:\\Game\\x", "D:\\Game\\"},
        {"D:\\Game\\", "D:\\Game\\x", "D:\\Game\\\\"},
        {"D:\\", "D:\\x", "D:\\\\"},
        {"C:\\ソ", "C:\\ソ\\x", "C:\\ソ\\"},
    };
    for (const Case& c : cases) {
        char out[kPathCapacity];
        EXPECT_TRUE(JoinPath(out, sizeof out, c.folder, "x"));
        EXPECT_STREQ(out, c.joined);
        EXPECT_TRUE(FolderRecordValue(out, sizeof out, c.folder));
        EXPECT_STREQ(out, c.record);
    }
    char small[8];
    EXPECT_FALSE(JoinPath(small, sizeof small, "C:\\Games", "x"));
    EXPECT_FALSE(FolderRecordValue(small, sizeof small, "C:\\Games"));
}

TEST(PathRules, TrailByteBackslashIsNotASeparator) {
    // "ソ" is 0x83 0x5C: its trail byte is '\'.
    EXPECT_FALSE(EndsWithBackslash("C:\\ソ"));
    EXPECT_TRUE(EndsWithBackslash("C:\\ソ\\"));
    EXPECT_TRUE(EndsWithBackslash("\\"));
    EXPECT_FALSE(EndsWithBackslash(""));
    EXPECT_EQ(LastNameOffset("C:\\ソ\\表"), 6u);
    EXPECT_EQ(LastNameOffset("C:\\x\\ソ"), 5u);
    EXPECT_EQ(LastNameOffset("C:name"), 2u);
    EXPECT_EQ(LastNameOffset("a/b"), 2u);
    EXPECT_EQ(LastNameOffset("name"), 0u);
    EXPECT_EQ(LastNameOffset("C:\\x\\a\x83\0\\tail"), 5u);
}

TEST(TextRules, BuilderCutsAtWholeCharacterAndSaysSo) {
    char buffer[4];
    TextBuilder b(buffer, sizeof buffer);
    b.Append("aア").Append("イ");  // a(1) + ア(2) fit in 3; イ does not
    EXPECT_STREQ(buffer, "aア");
    EXPECT_TRUE(b.Overflowed());

    char small[3];
    TextBuilder c(small, sizeof small);
    c.Append("aアb");  // ア would need bytes 1..2 but only byte 1 is free
    EXPECT_STREQ(small, "a");
}

TEST(TextRules, ErrorFillsOnePlaceholderAndKeepsTrailBytes) {
    EXPECT_STREQ(Error::Make("ファイル %s を作成できません", "C:\\ソ\\x").Text(),
                 "ファイル C:\\ソ\\x を作成できません");
    EXPECT_FALSE(Error());
    EXPECT_TRUE(Error::Make("x"));
}

// A byte that begins a double-byte character in one code page is a letter in
// another: "à" (0xE0) and "ü" (0xFC) in 1252 are lead bytes in 932, and a
// "\" after them is a trail byte there but a separator here.
TEST(PathRules, SeparatorsFollowTheSystemsLeadBytes) {
    const struct {
        unsigned codePage;
        unsigned char first, last;  // its lead bytes
    } codePages[] = {{932, 0x81, 0x9F}, {932, 0xE0, 0xFC}, {936, 0x81, 0xFE}, {1252, 0, 0}};
    for (unsigned id : {932u, 936u, 1252u}) {
        UsingCodePage system(id);
        for (unsigned b = 0x80; b <= 0xFF; ++b) {
            bool lead = false;
            for (const auto& range : codePages) lead = lead || (range.codePage == id && b >= range.first && b <= range.last);
            const std::string name = "a" + std::string(1, static_cast<char>(b));
            const std::string path = "C:\\" + name + "\\c";
            EXPECT_EQ(SystemCodePage().IsLeadByte(static_cast<unsigned char>(b)), lead) << id << " " << b;
            EXPECT_EQ(EndsWithBackslash((name + "\\").c_str()), !lead) << id << " " << b;
            EXPECT_EQ(PathSteps(path.c_str(), nullptr, 0), lead ? 2u : 3u) << id << " " << b;
            EXPECT_EQ(LastNameOffset(path.c_str()), lead ? 3u : 6u) << id << " " << b;
            char cut[3];  // room for two bytes: "a" and the byte, or "a" alone
            TextBuilder(cut, sizeof cut).Append((name + "x").c_str());
            EXPECT_EQ(std::string(cut), lead ? "a" : name) << id << " " << b;
        }
    }
}

TEST(PathRules, WesternNameEndingInALeadByteOfShiftJisKeepsItsSeparator) {
    UsingCodePage western(1252);
    // "C:\Jeux à\sub" and "D:\Spiele\Jürgen\Vesperlin".
    const std::vector<std::string> steps = {"C:\\|C:\\", "Jeux \xE0|C:\\Jeux \xE0", "sub|C:\\Jeux \xE0\\sub"};
    EXPECT_EQ(StepNames("C:\\Jeux \xE0\\sub"), steps);
    EXPECT_TRUE(EndsWithBackslash("D:\\Spiele\\J\xFC\\"));
    char joined[kPathCapacity];
    ASSERT_TRUE(JoinPath(joined, sizeof joined, "D:\\Spiele\\J\xFCrgen", "Vesperlin"));
    EXPECT_STREQ(joined, "D:\\Spiele\\J\xFCrgen\\Vesperlin");
    ASSERT_TRUE(JoinPath(joined, sizeof joined, "C:\\Jeux \xE0\\", "x"));
    EXPECT_STREQ(joined, "C:\\Jeux \xE0\\x");  // no second separator
}
