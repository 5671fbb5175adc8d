// The manual choice of the install folder: what gets created, what gets
// stored, and what the user is told.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fakes/FakeFileSystem.h"
#include "fakes/FakeRegistry.h"
#include "locate/ManualSetting.h"

namespace {

const char kKey[] = "Software\\Brackwen\\KESTRAVON";

std::string Stored(FakeRegistry& registry) {
    const FakeRegistry::Value* value = registry.Get(kKey, "GameDir");
    return value ? value->data : "";
}

}  // namespace

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
        FakeFileSystem folders;
        folders.Folder(c.chosen);
        folders.File(c.marker);
        FakeRegistry registry;
        ManualOutcome outcome;
        Error e = ApplyManualChoice(folders, registry, c.chosen, &outcome);
        EXPECT_FALSE(e) << e.Text();
        EXPECT_EQ(outcome, ManualOutcome::kStored) << c.chosen;
        EXPECT_EQ(Stored(registry), c.stored);
        EXPECT_TRUE(folders.CreatedFolders().empty());
    }
}

TEST(ManualSetting, FolderWithoutMarkerFileStoresNothingAndSaysNothing) {
    enum Setup { kNoMarker, kMarkerIsFolder, kMarkerOnlyInParent, kMarkerLikeName };
    for (Setup setup : {kNoMarker, kMarkerIsFolder, kMarkerOnlyInParent, kMarkerLikeName}) {
        FakeFileSystem folders;
        folders.Folder("D:\\Game");
        folders.Folder("D:\\Game\\Sub");
        if (setup == kMarkerIsFolder) folders.Folder("D:\\Game\\Sub\\mg_data.mbl");
        if (setup == kMarkerOnlyInParent) folders.File("D:\\Game\\mg_data.mbl");
        if (setup == kMarkerLikeName) folders.File("D:\\Game\\Sub\\mg_data.mbl.txt");
        FakeRegistry registry;
        ManualOutcome outcome;
        EXPECT_FALSE(ApplyManualChoice(folders, registry, "D:\\Game\\Sub", &outcome)) << setup;
        EXPECT_EQ(outcome, ManualOutcome::kNotGameFolder) << setup;
        EXPECT_FALSE(registry.HasKey(kKey)) << setup;
    }
}

// A name that is not full would be made below whatever folder is current.
TEST(ManualSetting, EmptyOrRelativePathCannotBeCreated) {
    for (const char* chosen : {"", "Game", "\\Game", "C:Game"}) {
        FakeFileSystem folders;
        folders.Folder("C:\\Game");
        folders.File("C:\\Game\\mg_data.mbl");
        FakeRegistry registry;
        ManualOutcome outcome;
        Error e = ApplyManualChoice(folders, registry, chosen, &outcome);
        EXPECT_STREQ(e.Text(), "ディレクトリを作成できません") << chosen;
        EXPECT_EQ(outcome, ManualOutcome::kNotGameFolder);
        EXPECT_TRUE(folders.CreatedFolders().empty()) << chosen;
        EXPECT_EQ(Stored(registry), "") << chosen;
    }
}

TEST(ManualSetting, MissingFolderIsCreatedWithParentsButNotStored) {
    FakeFileSystem folders;
    folders.Folder("D:\\Games");
    FakeRegistry registry;
    ManualOutcome outcome;
    EXPECT_FALSE(ApplyManualChoice(folders, registry, "D:\\Games\\新規\\表", &outcome));
    EXPECT_EQ(folders.CreatedFolders(), (std::vector<std::string>{"D:\\Games\\新規", "D:\\Games\\新規\\表"}));
    EXPECT_TRUE(folders.IsFolder("D:\\Games\\新規\\表"));
    EXPECT_EQ(outcome, ManualOutcome::kNotGameFolder);
    EXPECT_EQ(Stored(registry), "");
}

TEST(ManualSetting, FailedCreationIsNotReportedAndStopsAtTheFailingFolder) {
    FakeFileSystem folders;
    folders.FailCreating("D:\\a\\b");
    folders.File("D:\\x");  // a file in the way of a folder
    for (const char* chosen : {"D:\\a\\b\\c", "D:\\x\\y"}) {
        FakeRegistry registry;
        ManualOutcome outcome;
        EXPECT_FALSE(ApplyManualChoice(folders, registry, chosen, &outcome)) << chosen;
        EXPECT_EQ(outcome, ManualOutcome::kNotGameFolder);
        EXPECT_EQ(Stored(registry), "");
        EXPECT_FALSE(folders.IsFolder(chosen));
    }
    EXPECT_FALSE(folders.IsFolder("D:\\a\\b"));
    EXPECT_FALSE(CreateFolderWithParents(folders, "D:\\a\\b\\c"));
    EXPECT_TRUE(CreateFolderWithParents(folders, "D:\\a"));  // exists by now
    EXPECT_TRUE(CreateFolderWithParents(folders, "D:\\"));   // a root is never created
}

TEST(ManualSetting, RecordFailureIsReportedAndNothingIsStored) {
    struct Case {
        int failingCall;  // opening the key, creating the subkey, setting the value
        const char* message;
    } cases[] = {
        {1, "キー KESTRAVON の作成に失敗しました"},
        {2, "'GameDir' の設定に失敗しました"},
    };
    for (const Case& c : cases) {
        FakeFileSystem folders;
        folders.Folder("D:\\Game");
        folders.File("D:\\Game\\mg_data.mbl");
        FakeRegistry registry;
        registry.FailAtCall(c.failingCall);
        ManualOutcome outcome;
        Error e = ApplyManualChoice(folders, registry, "D:\\Game", &outcome);
        EXPECT_STREQ(e.Text(), c.message);
        EXPECT_EQ(outcome, ManualOutcome::kNotGameFolder);
        EXPECT_EQ(Stored(registry), "");
    }
}
