// The manual choice of the install folder: what gets created, what gets
// stored, and what the user is told.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "fakes/FakeFolders.h"
#include "locate/FolderPath.h"
#include "locate/ManualSetting.h"

namespace {

// Records what reaches the registry; each step can be made to fail.
class ManualTestRegistry : public Registry {
public:
    bool OpenOrCreateKey(const char* path) override { key = path; return true; }
    RegStatus OpenSubkey(const char*) override { return RegStatus::kMissing; }
    bool CreateSubkey(const char* name) override {
        subkey = name;
        return !failCreate;
    }
    RegStatus GetString(const char*, char* out, size_t) override {
        out[0] = '\0';
        return RegStatus::kMissing;
    }
    bool SetString(const char* value, const char* data) override {
        if (failSet) return false;
        values[value] = data;
        return true;
    }

    bool failCreate = false;
    bool failSet = false;
    std::string key, subkey;
    std::map<std::string, std::string> values;
};

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

TEST(FolderPath, StepsNameEachFolderDownFromTheRoot) {
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
        {"", V{}},
    };
    for (const Case& c : cases) EXPECT_EQ(StepNames(c.path), c.want) << c.path;
}

TEST(FolderPath, OnlyDriveAndNetworkPathsAreFull) {
    for (const char* full : {"C:\\", "c:\\Game", "C:/Game", "\\\\srv\\share\\Game"}) {
        EXPECT_TRUE(IsFullPath(full)) << full;
    }
    // Each of these depends on the current drive or folder.
    for (const char* relative : {"", "Game", "..\\Game", "\\Game", "C:", "C:Game", "ソ\\x"}) {
        EXPECT_FALSE(IsFullPath(relative)) << relative;
    }
}

TEST(FolderPath, DeepPathReportsFullCountWithoutOverrun) {
    PathStep steps[2] = {};
    EXPECT_EQ(PathSteps("C:\\a\\b\\c", steps, 2), 4u);
    EXPECT_EQ(steps[1].end, 4u);
}

// A join adds a separator only where one is missing; the record is the
// folder as given plus one "\\", nothing else added or removed.
TEST(FolderPath, JoinAddsOneSeparatorRecordAlwaysAppendsOne) {
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

TEST(ManualSetting, FolderWithMarkerFileIsStoredAsReturnedPlusOneSeparator) {
    struct Case {
        const char* chosen;
        const char* marker;
        const char* stored;
    } cases[] = {
        {"D:\\Game", "D:\\Game\\mg_data.mbl", "D:\\Game\\"},
        {"D:\\Game\\", "D:\\Game\\mg_data.mbl", "D:\\Game\\\\"},
        {"D:\\", "D:\\MG_DATA.MBL", "D:\\\\"},
        {"C:\\ソ", "C:\\ソ\\Mg_Data.mbl", "C:\\ソ\\"},
    };
    for (const Case& c : cases) {
        FakeFolders folders;
        folders.PutFolder(c.chosen);
        folders.PutFile(c.marker);
        ManualTestRegistry registry;
        ManualOutcome outcome;
        Error e = ApplyManualChoice(folders, registry, c.chosen, &outcome);
        EXPECT_FALSE(e) << e.Text();
        EXPECT_EQ(outcome, ManualOutcome::kStored) << c.chosen;
        EXPECT_EQ(registry.key, "Software\\Brackwen");
        EXPECT_EQ(registry.subkey, "KESTRAVON");
        EXPECT_EQ(registry.values["GameDir"], c.stored);
        EXPECT_TRUE(folders.created.empty());
    }
}

TEST(ManualSetting, FolderWithoutMarkerFileStoresNothingAndSaysNothing) {
    enum Setup { kNoMarker, kMarkerIsFolder, kMarkerOnlyInParent, kMarkerLikeName };
    for (Setup setup : {kNoMarker, kMarkerIsFolder, kMarkerOnlyInParent, kMarkerLikeName}) {
        FakeFolders folders;
        folders.PutFolder("D:\\Game");
        folders.PutFolder("D:\\Game\\Sub");
        if (setup == kMarkerIsFolder) folders.PutFolder("D:\\Game\\Sub\\mg_data.mbl");
        if (setup == kMarkerOnlyInParent) folders.PutFile("D:\\Game\\mg_data.mbl");
        if (setup == kMarkerLikeName) folders.PutFile("D:\\Game\\Sub\\mg_data.mbl.txt");
        ManualTestRegistry registry;
        ManualOutcome outcome;
        EXPECT_FALSE(ApplyManualChoice(folders, registry, "D:\\Game\\Sub", &outcome)) << setup;
        EXPECT_EQ(outcome, ManualOutcome::kNotGameFolder) << setup;
        EXPECT_TRUE(registry.values.empty()) << setup;
        EXPECT_TRUE(registry.subkey.empty()) << setup;
    }
}

TEST(ManualSetting, EmptyPathCannotBeCreated) {
    FakeFolders folders;
    ManualTestRegistry registry;
    ManualOutcome outcome;
    Error e = ApplyManualChoice(folders, registry, "", &outcome);
    EXPECT_STREQ(e.Text(), "ディレクトリを作成できません");
    EXPECT_EQ(outcome, ManualOutcome::kNotGameFolder);
    EXPECT_TRUE(folders.created.empty());
    EXPECT_TRUE(registry.values.empty());
}

TEST(ManualSetting, MissingFolderIsCreatedWithParentsButNotStored) {
    FakeFolders folders;
    folders.PutFolder("D:\\Games");
    ManualTestRegistry registry;
    ManualOutcome outcome;
    EXPECT_FALSE(ApplyManualChoice(folders, registry, "D:\\Games\\新規\\表", &outcome));
    EXPECT_EQ(folders.created, (std::vector<std::string>{"D:\\Games\\新規", "D:\\Games\\新規\\表"}));
    EXPECT_TRUE(folders.IsFolder("D:\\Games\\新規\\表"));
    EXPECT_EQ(outcome, ManualOutcome::kNotGameFolder);
    EXPECT_TRUE(registry.values.empty());
}

TEST(ManualSetting, FailedCreationIsNotReportedAndStopsAtTheFailingFolder) {
    FakeFolders folders;
    folders.FailCreating("D:\\a\\b");
    folders.PutFile("D:\\x");  // a file in the way of a folder
    for (const char* chosen : {"D:\\a\\b\\c", "D:\\x\\y"}) {
        folders.created.clear();
        ManualTestRegistry registry;
        ManualOutcome outcome;
        EXPECT_FALSE(ApplyManualChoice(folders, registry, chosen, &outcome)) << chosen;
        EXPECT_EQ(outcome, ManualOutcome::kNotGameFolder);
        EXPECT_TRUE(registry.values.empty());
        EXPECT_FALSE(folders.IsFolder(chosen));
    }
    EXPECT_FALSE(folders.IsFolder("D:\\a\\b"));
    EXPECT_FALSE(CreateFolderWithParents(folders, "D:\\a\\b\\c"));
    EXPECT_TRUE(CreateFolderWithParents(folders, "D:\\a"));  // exists by now
    EXPECT_TRUE(CreateFolderWithParents(folders, "D:\\"));   // a root is never created
}

TEST(ManualSetting, RecordFailureIsReportedAndNothingIsStored) {
    struct Case {
        bool failCreate, failSet;
        const char* message;
    } cases[] = {
        {true, false, "キー KESTRAVON の作成に失敗しました"},
        {false, true, "'GameDir' の設定に失敗しました"},
    };
    for (const Case& c : cases) {
        FakeFolders folders;
        folders.PutFolder("D:\\Game");
        folders.PutFile("D:\\Game\\mg_data.mbl");
        ManualTestRegistry registry;
        registry.failCreate = c.failCreate;
        registry.failSet = c.failSet;
        ManualOutcome outcome;
        Error e = ApplyManualChoice(folders, registry, "D:\\Game", &outcome);
        EXPECT_STREQ(e.Text(), c.message);
        EXPECT_EQ(outcome, ManualOutcome::kNotGameFolder);
        EXPECT_TRUE(registry.values.empty());
    }
}
