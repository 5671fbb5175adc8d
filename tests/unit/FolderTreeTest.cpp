// The folder picker's model on fake folder trees: what the tree lists, what
// each entry stands for, and where a typed name leads.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fakes/FakeFileSystem.h"
#include "fakes/UsingCodePage.h"
#include "locate/FolderTree.h"

namespace {

struct Picker {
    FakeFileSystem disk;
    FolderTree tree{disk, CaseBlindOrder};

    Picker() {
        disk.Drive('C', DriveType::kFixed);
        disk.Drive('D', DriveType::kFixed);
    }

    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (size_t i = 0; i < tree.EntryCount(); ++i) {
            char name[kPathCapacity];
            EXPECT_TRUE(tree.EntryName(i, name, sizeof name)) << i;
            names.push_back(name);
        }
        return names;
    }
    std::vector<size_t> Depths() const {
        std::vector<size_t> depths;
        for (size_t i = 0; i < tree.EntryCount(); ++i) depths.push_back(tree.EntryDepth(i));
        return depths;
    }
    std::string Path(size_t index) const {
        char path[kPathCapacity];
        if (!tree.EntryPath(index, path, sizeof path)) return "<none>";
        return path;
    }
    std::string Full(const std::string& typed) const {
        char full[kPathCapacity];
        if (!tree.MakeFull(typed.c_str(), full, sizeof full)) return "<none>";
        return full;
    }
};

}  // namespace

TEST(FolderTree, ListsAncestorsThenSubfoldersInNameOrderWithoutFiles) {
    Picker p;
    p.disk.Folder("C:\\Games\\Vesperlin\\zeta");
    p.disk.Folder("C:\\Games\\Vesperlin\\Alpha");
    p.disk.Folder("C:\\Games\\Vesperlin\\beta");
    p.disk.File("C:\\Games\\Vesperlin\\aaa.txt");
    p.disk.Link("C:\\Games\\Vesperlin\\Mid", "C:\\Games");
    ASSERT_TRUE(p.tree.Open("C:\\Games\\Vesperlin"));

    EXPECT_STREQ(p.tree.Shown(), "C:\\Games\\Vesperlin");
    EXPECT_EQ(p.tree.AncestorCount(), 3u);
    const std::vector<std::string> names = {"C:\\", "Games", "Vesperlin", "Alpha", "beta", "Mid", "zeta"};
    EXPECT_EQ(p.Names(), names);
    const std::vector<size_t> depths = {0, 1, 2, 3, 3, 3, 3};
    EXPECT_EQ(p.Depths(), depths);
    EXPECT_EQ(p.Path(0), "C:\\");
    EXPECT_EQ(p.Path(1), "C:\\Games");
    EXPECT_EQ(p.Path(2), "C:\\Games\\Vesperlin");
    EXPECT_EQ(p.Path(4), "C:\\Games\\Vesperlin\\beta");
    EXPECT_EQ(p.Path(7), "<none>");
}

TEST(FolderTree, RootShowsItselfAndItsFolders) {
    Picker p;
    p.disk.Folder("D:\\b");
    p.disk.Folder("D:\\a");
    ASSERT_TRUE(p.tree.Open("D:\\"));
    const std::vector<std::string> names = {"D:\\", "a", "b"};
    EXPECT_EQ(p.Names(), names);
    EXPECT_EQ(p.Path(0), "D:\\");
    EXPECT_EQ(p.Path(1), "D:\\a");  // one separator after the root's own
}

TEST(FolderTree, OpeningWhatIsNoFolderChangesNothing) {
    Picker p;
    p.disk.Folder("C:\\kept\\sub");
    p.disk.File("C:\\kept\\file.txt");
    ASSERT_TRUE(p.tree.Open("C:\\kept"));
    for (const char* bad : {"C:\\missing", "C:\\kept\\file.txt", "kept", "", "E:\\"}) {
        EXPECT_FALSE(p.tree.Open(bad)) << bad;
        EXPECT_STREQ(p.tree.Shown(), "C:\\kept") << bad;
        EXPECT_EQ(p.tree.EntryCount(), 3u) << bad;
        EXPECT_EQ(p.Path(2), "C:\\kept\\sub") << bad;
    }
}

TEST(FolderTree, UnreadableFolderShowsWithoutSubfolders) {
    Picker p;
    p.disk.Folder("C:\\locked\\inner");
    p.disk.FailListing("C:\\locked");
    ASSERT_TRUE(p.tree.Open("C:\\locked"));
    EXPECT_EQ(p.tree.EntryCount(), 2u);
    EXPECT_EQ(p.disk.OpenCount(), 0);
}

// 表 is 0x95 0x5C: split at that byte it would become two entries and a
// path to a folder that does not exist.
TEST(FolderTree, NameWhoseTrailByteIsBackslashIsOneEntry) {
    Picker p;
    p.disk.AddFolder("C:", "表");
    p.disk.AddFolder("C:\\表", "ソフト");
    p.disk.AddFolder("C:\\表", "表示");
    ASSERT_TRUE(p.tree.Open("C:\\表"));
    const std::vector<std::string> names = {"C:\\", "表", "ソフト", "表示"};
    EXPECT_EQ(p.Names(), names);
    EXPECT_EQ(p.Path(1), "C:\\表");
    EXPECT_EQ(p.Path(3), "C:\\表\\表示");
    ASSERT_TRUE(p.tree.Open(p.Path(3).c_str()));
    EXPECT_EQ(p.tree.AncestorCount(), 3u);
    EXPECT_EQ(p.Full(".."), "C:\\表");
}

TEST(FolderTree, ManySubfoldersAllShowInOrder) {
    Picker p;
    p.disk.Folder("C:\\many");
    for (int i = 2999; i >= 0; --i) {
        char name[16];
        snprintf(name, sizeof name, "f%04d", i);
        p.disk.AddFolder("C:\\many", name);
    }
    ASSERT_TRUE(p.tree.Open("C:\\many"));
    ASSERT_EQ(p.tree.EntryCount(), 3002u);
    std::vector<std::string> names = p.Names();
    EXPECT_EQ(names[2], "f0000");
    EXPECT_EQ(names[3001], "f2999");
    for (size_t i = 3; i < names.size(); ++i) EXPECT_LT(names[i - 1], names[i]) << i;
}

TEST(FolderTree, NamesThatSortAlikeKeepTheListingOrder) {
    Picker p;
    p.disk.Folder("C:\\x\\b");
    p.disk.Folder("C:\\x\\DATA");
    p.disk.Folder("C:\\x\\a");
    p.disk.Folder("C:\\x\\data");
    ASSERT_TRUE(p.tree.Open("C:\\x"));
    const std::vector<std::string> names = {"C:\\", "x", "a", "b", "DATA", "data"};
    EXPECT_EQ(p.Names(), names);
}

TEST(FolderTree, FilesAreListedAlone) {
    Picker p;
    p.disk.Folder("C:\\g\\sub");
    p.disk.File("C:\\g\\b.txt");
    p.disk.File("C:\\g\\MG_DATA.MBL");
    std::vector<std::string> files;
    p.tree.ForEachFile("C:\\g", [&](const char* name) { files.push_back(name); });
    const std::vector<std::string> expected = {"b.txt", "MG_DATA.MBL"};
    EXPECT_EQ(files, expected);
    EXPECT_EQ(p.disk.OpenCount(), 0);
}

// A typed name means a folder where the tree stands, never below the
// program's own current folder.
TEST(FolderTree, TypedNameIsMadeFullAgainstTheShownFolder) {
    Picker p;
    p.disk.Folder("C:\\Games\\shown");
    ASSERT_TRUE(p.tree.Open("C:\\Games\\shown"));
    const struct {
        const char* typed;
        const char* full;
    } cases[] = {
        {"Game", "C:\\Games\\shown\\Game"},
        {"Game\\", "C:\\Games\\shown\\Game\\"},
        {"a/b", "C:\\Games\\shown\\a\\b"},
        {".\\a\\.\\b", "C:\\Games\\shown\\a\\b"},
        {"a\\\\b", "C:\\Games\\shown\\a\\b"},
        {"..\\Game", "C:\\Games\\Game"},
        {"..\\..\\..\\..\\Game", "C:\\Game"},
        {"..", "C:\\Games"},
        {"\\Game", "C:\\Game"},
        {"/", "C:\\"},
        {"C:Game", "C:\\Games\\shown\\Game"},
        {"c:Game", "C:\\Games\\shown\\Game"},
        {"D:Game", "D:\\Game"},
        {"Game. .", "C:\\Games\\shown\\Game"},
        {"Game\\ .", "C:\\Games\\shown\\Game"},  // a last name that trims to nothing
        {"..\\..\\", "C:\\"},                    // the root keeps its one separator
        {"新規表", "C:\\Games\\shown\\新規表"},
        {"新規表\\..\\x", "C:\\Games\\shown\\x"},
        {"D:\\a\\..\\b", "D:\\b"},
        {"D:/a/./b/", "D:\\a\\b\\"},
        {"\\\\server\\share\\x\\..\\y", "\\\\server\\share\\y"},
    };
    for (const auto& c : cases) EXPECT_EQ(p.Full(c.typed), c.full) << c.typed;
}

// On a Western system "à" (0xE0) is a letter, not a lead byte swallowing
// the "\" after it: ".." leaves "sub", not the whole of "Jeux à\sub".
TEST(FolderTree, TypedDotsUnderAWesternNameEndingInALeadByteOfShiftJis) {
    UsingCodePage western(1252);
    Picker p;
    p.disk.Folder("C:\\Jeux \xE0\\sub");
    ASSERT_TRUE(p.tree.Open("C:\\Jeux \xE0"));
    EXPECT_EQ(p.tree.AncestorCount(), 2u);
    EXPECT_EQ(p.Full("sub\\..\\Vesperlin"), "C:\\Jeux \xE0\\Vesperlin");
    EXPECT_EQ(p.Full("C:\\Jeux \xE0\\sub\\..\\Vesperlin"), "C:\\Jeux \xE0\\Vesperlin");
    EXPECT_EQ(p.Path(2), "C:\\Jeux \xE0\\sub");
}

TEST(FolderTree, TypedNameTooLongOrNothingShownIsRefused) {
    Picker p;
    EXPECT_EQ(p.Full("Game"), "<none>");  // no folder shown yet
    p.disk.Folder("C:\\Games");
    ASSERT_TRUE(p.tree.Open("C:\\Games"));
    char small[12];
    EXPECT_FALSE(p.tree.MakeFull("Game", small, sizeof small));
    EXPECT_STREQ(small, "");
    char exact[sizeof "C:\\Games\\Game"];
    EXPECT_TRUE(p.tree.MakeFull("Game", exact, sizeof exact));
    EXPECT_EQ(p.Full(std::string(300, 'x')), "<none>");
}

TEST(FolderTree, CaseBlindOrderFoldsAsciiLettersOnly) {
    EXPECT_EQ(CaseBlindOrder("abc", "ABC"), 0);
    EXPECT_LT(CaseBlindOrder("abc", "ABD"), 0);
    EXPECT_GT(CaseBlindOrder("b", "A"), 0);
    EXPECT_LT(CaseBlindOrder("ab", "abc"), 0);
    // "\x83\x61" and "\x83\x41" are two katakana: the trail byte is no letter.
    EXPECT_NE(CaseBlindOrder("\x83\x61", "\x83\x41"), 0);
}
