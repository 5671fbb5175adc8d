// The search's walk and its button, on fake folder trees and a recording dialog.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "fakes/FakeFileSystem.h"
#include "fakes/FakeRegistry.h"
#include "locate/FolderWalk.h"
#include "resources/Names.h"
#include "resources/Texts.h"

namespace {

std::string Progress(const std::string& folder) { return std::string(texts::kSearchingPrefix) + folder; }

class RecordingView : public SearchView {
public:
    void ShowRunning(bool running) override {
        buttonSaysStop = running;
        events.push_back(running ? "running" : "idle");
    }
    void ShowProgress(const char* folder) override {
        label6 = Progress(folder);
        events.push_back(label6);
    }
    void PumpMessages() override {
        ++pumps;
        if (onPump) onPump(pumps);
    }
    bool Ended() override { return ended; }
    void ShowNotFound() override { events.push_back("not found"); }
    // The record is written before the dialog goes.
    void CloseDialog() override {
        ended = true;
        events.push_back("close with " + Record(*registry));
    }
    static std::string Record(FakeRegistry& r) {
        const FakeRegistry::Value* value = r.Get("Software\\Brackwen\\KESTRAVON", "GameDir");
        return value ? value->data : "";
    }

    std::vector<std::string> events;
    std::function<void(int)> onPump;
    int pumps = 0;
    bool ended = false;
    bool buttonSaysStop = false;
    std::string label6;
    FakeRegistry* registry = nullptr;
};

struct Search {
    SearchState state;
    FakeFileSystem tree;
    FakeRegistry registry;
    RecordingView view;

    Search() { view.registry = &registry; }
    Error Click() { return ClickSearchButton(state, tree, registry, view); }
    std::string Record() { return RecordingView::Record(registry); }
    // The progress lines of the last run, in order.
    std::vector<std::string> Lines() const {
        std::vector<std::string> lines;
        for (const std::string& e : view.events)
            if (e.rfind(texts::kSearchingPrefix, 0) == 0) lines.push_back(e);
        return lines;
    }
};

}  // namespace

TEST(FolderWalk, MarkerNameIgnoresAsciiCaseOnly) {
    const struct {
        const char* name;
        bool marker;
    } cases[] = {
        {"MG_DATA.MBL", true},   {"mg_data.mbl", true},   {"Mg_DaTa.mBl", true},
        {"MG_DATA.MB", false},   {"MG_DATA.MBLX", false}, {"MG_DATA.MBL ", false},
        {"MG-DATA.MBL", false},  {"", false},
        {"ＭＧ_DATA.MBL", false},  // full-width letters are other characters
        {"\x83\x6dG_DATA.MBL", false},  // a trail byte that reads 'm' is no letter
    };
    for (const auto& c : cases) EXPECT_EQ(IsMarkerName(c.name), c.marker) << c.name;
}

TEST(FolderWalk, WalksFixedDrivesAToZDepthFirstInListingOrder) {
    Search s;
    s.tree.Drive('A', DriveType::kRemovable);
    s.tree.Drive('C', DriveType::kFixed);
    s.tree.Drive('D', DriveType::kCdRom);
    s.tree.Drive('E', DriveType::kRemote);
    s.tree.Drive('F', DriveType::kRamDisk);
    s.tree.Drive('G', DriveType::kUnknown);
    s.tree.Drive('Z', DriveType::kFixed);
    s.tree.Folder("C:\\b");
    s.tree.Folder("C:\\b\\deep", 0x02 | 0x04);  // hidden and system folders are walked too
    s.tree.Folder("C:\\a");
    s.tree.Folder("Z:\\y");
    for (char drive : {'A', 'D', 'E', 'F', 'G'}) s.tree.File(std::string(1, drive) + ":\\MG_DATA.MBL");

    EXPECT_FALSE(s.Click());
    const std::vector<std::string> expected = {
        "running", Progress("C:"), Progress("C:\\b"), Progress("C:\\b\\deep"), Progress("C:\\a"),
        Progress("Z:"), Progress("Z:\\y"), "not found", "idle"};
    EXPECT_EQ(s.view.events, expected);
    EXPECT_EQ(s.view.pumps, 6);  // once per folder, before it is listed
    EXPECT_STREQ(s.state.FoundDir, "");
    EXPECT_EQ(s.view.label6, Progress("Z:\\y"));
    EXPECT_FALSE(s.view.buttonSaysStop);
    EXPECT_EQ(s.tree.OpenCount(), 0);
    EXPECT_EQ(s.tree.MostOpen(), 3);  // one listing per level of depth
}

TEST(FolderWalk, MarkerInDriveRootStoresLetterColonBackslash) {
    for (const char* name : {"MG_DATA.MBL", "mg_data.mbl", "mG_dAtA.MbL"}) {
        Search s;
        s.tree.Drive('D', DriveType::kFixed);
        s.tree.Folder("D:\\first");
        s.tree.File(std::string("D:\\") + name, 0x01 | 0x02 | 0x04);  // read-only, hidden, system
        s.tree.Drive('E', DriveType::kFixed);
        EXPECT_FALSE(s.Click());
        EXPECT_STREQ(s.state.FoundDir, "D:") << name;
        EXPECT_EQ(s.Record(), "D:\\") << name;
        const std::vector<std::string> expected = {"running", Progress("D:"), Progress("D:\\first"),
                                                   "idle", "close with D:\\"};
        EXPECT_EQ(s.view.events, expected) << name;
        EXPECT_EQ(s.tree.OpenCount(), 0);
    }
}

// 表 is 0x95 0x5C: a walk (or a fake) that split names at every 0x5C byte
// would look for a folder named 0x95 and never find the marker inside.
TEST(FolderWalk, NameWhoseTrailByteIsBackslashIsOneFolder) {
    Search s;
    s.tree.Drive('C', DriveType::kFixed);
    s.tree.AddFolder("C:", "表");
    s.tree.AddFolder("C:\\表", "ゲーム表");
    s.tree.AddFile("C:\\表\\ゲーム表", "MG_DATA.MBL");
    EXPECT_FALSE(s.Click());
    EXPECT_STREQ(s.state.FoundDir, "C:\\表\\ゲーム表");
    EXPECT_EQ(s.Record(), "C:\\表\\ゲーム表\\");
    const std::vector<std::string> lines = {Progress("C:"), Progress("C:\\表"), Progress("C:\\表\\ゲーム表")};
    EXPECT_EQ(s.Lines(), lines);
    EXPECT_EQ(s.tree.OpenCount(), 0);
}

TEST(FolderWalk, FolderNamedLikeTheMarkerIsEnteredNeverMatched) {
    Search s;
    s.tree.Drive('C', DriveType::kFixed);
    s.tree.Folder("C:\\MG_DATA.MBL");
    s.tree.File("C:\\MG_DATA.MBL\\other.txt");
    EXPECT_FALSE(s.Click());
    EXPECT_STREQ(s.state.FoundDir, "");
    EXPECT_EQ(s.view.label6, Progress("C:\\MG_DATA.MBL"));
    EXPECT_EQ(s.view.events.back(), "idle");
    EXPECT_EQ(s.view.events[s.view.events.size() - 2], "not found");
}

TEST(FolderWalk, FirstReachedWinsUnlessAFolderAboveStillListsAMarker) {
    struct Case {
        const char* what;
        std::function<void(FakeFileSystem&)> build;
        const char* found;
    } cases[] = {
        {"earlier drive wins",
         [](FakeFileSystem& t) {
             t.Drive('C', DriveType::kFixed);
             t.Drive('D', DriveType::kFixed);
             t.File("D:\\MG_DATA.MBL");
             t.File("C:\\x\\y\\MG_DATA.MBL");
         },
         "C:\\x\\y"},
        {"depth first in listing order",
         [](FakeFileSystem& t) {
             t.Drive('C', DriveType::kFixed);
             t.File("C:\\b\\deeper\\MG_DATA.MBL");
             t.File("C:\\a\\MG_DATA.MBL");
         },
         "C:\\b\\deeper"},
        {"a later marker in a folder above replaces it",
         [](FakeFileSystem& t) {
             t.Drive('C', DriveType::kFixed);
             t.File("C:\\a\\b\\MG_DATA.MBL");
             t.Folder("C:\\a\\skipped");
             t.File("C:\\a\\skipped\\MG_DATA.MBL");
             t.File("C:\\a\\mg_data.mbl");
         },
         "C:\\a"},
        {"the last match while unwinding wins",
         [](FakeFileSystem& t) {
             t.Drive('C', DriveType::kFixed);
             t.File("C:\\a\\b\\MG_DATA.MBL");
             t.File("C:\\a\\MG_DATA.MBL");
             t.File("C:\\MG_DATA.MBL");
         },
         "C:"},
    };
    for (const Case& c : cases) {
        Search s;
        c.build(s.tree);
        EXPECT_FALSE(s.Click());
        EXPECT_STREQ(s.state.FoundDir, c.found) << c.what;
        EXPECT_EQ(s.Record(), std::string(c.found) + "\\") << c.what;
        // Once found, no further folder is entered.
        EXPECT_EQ(s.view.label6.find("skipped"), std::string::npos) << c.what;
        EXPECT_EQ(s.tree.Listed().back().find("D:"), std::string::npos) << c.what;
        EXPECT_EQ(s.tree.OpenCount(), 0) << c.what;
    }
}

TEST(FolderWalk, DotEntriesAndUnlistableFoldersArePassedOver) {
    Search s;
    s.tree.Drive('C', DriveType::kFixed);
    s.tree.Folder("C:\\locked");
    s.tree.File("C:\\locked\\MG_DATA.MBL");
    s.tree.Folder("C:\\locked\\inner");
    s.tree.Folder("C:\\open");
    s.tree.FailListing("C:\\locked");
    EXPECT_FALSE(s.Click());
    const std::vector<std::string> expected = {Progress("C:"), Progress("C:\\locked"), Progress("C:\\open")};
    EXPECT_EQ(s.Lines(), expected);
    EXPECT_STREQ(s.state.FoundDir, "");
    EXPECT_EQ(s.tree.OpenCount(), 0);
}

TEST(FolderWalk, NoFixedDriveShowsNotFoundAtOnceAndKeepsTheProgressLine) {
    Search s;
    s.tree.Drive('A', DriveType::kRemovable);
    s.view.label6 = "before";
    EXPECT_FALSE(s.Click());
    const std::vector<std::string> expected = {"running", "not found", "idle"};
    EXPECT_EQ(s.view.events, expected);
    EXPECT_EQ(s.view.label6, "before");
}

TEST(FolderWalk, StopUnwindsComparingNamesWithoutEnteringFolders) {
    Search s;
    s.tree.Drive('C', DriveType::kFixed);
    s.tree.Drive('D', DriveType::kFixed);
    s.tree.Folder("C:\\a\\b");
    s.tree.Folder("C:\\a\\later");
    s.tree.Folder("C:\\next");
    s.tree.File("C:\\next\\MG_DATA.MBL");
    s.tree.File("D:\\MG_DATA.MBL");
    s.view.onPump = [&](int pump) {
        if (pump == 3) {
            EXPECT_TRUE(s.view.buttonSaysStop);
            EXPECT_FALSE(s.Click());  // the stop click, delivered by the pump
            EXPECT_FALSE(s.view.buttonSaysStop);
        }
    };
    EXPECT_FALSE(s.Click());
    const std::vector<std::string> lines = {Progress("C:"), Progress("C:\\a"), Progress("C:\\a\\b")};
    EXPECT_EQ(s.Lines(), lines);
    EXPECT_EQ(s.view.pumps, 3);  // nothing is pumped while unwinding
    EXPECT_EQ(s.view.events.back(), "idle");
    EXPECT_EQ(s.view.events[s.view.events.size() - 2], "not found");
    EXPECT_EQ(s.view.label6, Progress("C:\\a\\b"));  // the last folder begun
    EXPECT_STREQ(s.state.FoundDir, "");
    EXPECT_TRUE(s.state.StopSearch);
    EXPECT_EQ(s.tree.OpenCount(), 0);
}

TEST(FolderWalk, MarkerComparedWhileUnwindingAfterStopIsStored) {
    Search s;
    s.tree.Drive('C', DriveType::kFixed);
    s.tree.Folder("C:\\a\\b");
    s.tree.File("C:\\a\\MG_DATA.MBL");
    s.view.onPump = [&](int pump) {
        if (pump == 3) {
            EXPECT_FALSE(s.Click());
        }
    };
    EXPECT_FALSE(s.Click());
    EXPECT_STREQ(s.state.FoundDir, "C:\\a");
    EXPECT_EQ(s.Record(), "C:\\a\\");
    EXPECT_EQ(s.view.events.back(), "close with C:\\a\\");
    EXPECT_EQ(std::count(s.view.events.begin(), s.view.events.end(), "not found"), 0);
}

TEST(FolderWalk, ClickQueuedBehindStopStartsNoSecondSearch) {
    Search s;
    s.tree.Drive('C', DriveType::kFixed);
    s.tree.Folder("C:\\a\\b");
    s.view.onPump = [&](int pump) {
        if (pump == 2) {
            EXPECT_FALSE(s.Click());  // stop
            EXPECT_FALSE(s.Click());  // queued behind it: the search still unwinds
        }
    };
    EXPECT_FALSE(s.Click());
    EXPECT_EQ(s.view.pumps, 2);
    EXPECT_EQ(std::count(s.view.events.begin(), s.view.events.end(), "running"), 1);
    EXPECT_EQ(std::count(s.view.events.begin(), s.view.events.end(), "not found"), 1);
    // Once unwound, a click starts a new search again.
    s.view.onPump = nullptr;
    s.view.events.clear();
    EXPECT_FALSE(s.Click());
    EXPECT_EQ(s.view.events.front(), "running");
    EXPECT_EQ(s.Lines().size(), 3u);
}

TEST(FolderWalk, NewSearchStartsAgainAtDriveAWithNothingFound) {
    Search s;
    s.tree.Drive('C', DriveType::kFixed);
    s.tree.Drive('D', DriveType::kFixed);
    s.tree.File("D:\\x\\MG_DATA.MBL");
    EXPECT_FALSE(s.Click());
    EXPECT_STREQ(s.state.FoundDir, "D:\\x");

    // The dialog is shown again; the folder no longer holds the marker.
    FakeFileSystem moved;
    moved.Drive('C', DriveType::kFixed);
    moved.Drive('D', DriveType::kFixed);
    moved.Folder("D:\\x");
    s.view.ended = false;
    s.view.events.clear();
    EXPECT_FALSE(ClickSearchButton(s.state, moved, s.registry, s.view));
    EXPECT_STREQ(s.state.FoundDir, "");
    EXPECT_EQ(s.view.events[1], Progress("C:"));
    EXPECT_EQ(s.view.events[s.view.events.size() - 2], "not found");
}

TEST(FolderWalk, ClosingTheDialogStopsTheSearchWithoutTheNotFoundBox) {
    for (bool markerWhileUnwinding : {false, true}) {
        Search s;
        s.tree.Drive('C', DriveType::kFixed);
        s.tree.Drive('D', DriveType::kFixed);
        s.tree.Folder("C:\\a\\b");
        s.tree.Folder("C:\\a\\c");
        if (markerWhileUnwinding) s.tree.File("C:\\a\\MG_DATA.MBL");
        s.view.onPump = [&](int pump) {
            if (pump == 3) s.view.ended = true;  // the close box
        };
        EXPECT_FALSE(s.Click());
        EXPECT_EQ(s.view.pumps, 3) << markerWhileUnwinding;
        EXPECT_EQ(std::count(s.view.events.begin(), s.view.events.end(), "not found"), 0);
        EXPECT_FALSE(s.view.buttonSaysStop);
        EXPECT_FALSE(s.state.busy);
        EXPECT_EQ(s.Record(), markerWhileUnwinding ? "C:\\a\\" : "");
        EXPECT_EQ(s.view.events.back(), markerWhileUnwinding ? "close with C:\\a\\" : "idle");
    }
}

TEST(FolderWalk, FailedRecordWriteLeavesTheDialogOpenAndIdle) {
    Search s;
    s.tree.Drive('C', DriveType::kFixed);
    s.tree.File("C:\\MG_DATA.MBL");
    s.registry.FailAtCall(2);  // opening the key, creating the subkey, setting the value
    Error e = s.Click();
    ASSERT_TRUE(e);
    EXPECT_STREQ(e.Text(), Error::Make(texts::kValueNotSet, names::kRecordValue).Text());
    EXPECT_FALSE(s.view.ended);
    EXPECT_FALSE(s.view.buttonSaysStop);
    EXPECT_FALSE(s.state.busy);
}

TEST(FolderWalk, LinkCyclesEndAndEachFolderIsWalkedOnce) {
    Search s;
    s.tree.Drive('C', DriveType::kFixed);
    s.tree.Folder("C:\\a\\b");
    s.tree.Link("C:\\a\\b\\up", "C:\\a");
    s.tree.Link("C:\\a\\root", "C:");
    s.tree.Link("C:\\a\\b\\self", "C:\\a\\b");
    s.tree.Link("C:\\side", "C:\\a\\b");  // not a cycle: walked through the link too
    s.tree.Folder("C:\\z");
    EXPECT_FALSE(s.Click());
    // Through the side link, C:\a is not yet on the path; its b is.
    const std::vector<std::string> lines = {Progress("C:"),         Progress("C:\\a"),
                                            Progress("C:\\a\\b"),     Progress("C:\\side"),
                                            Progress("C:\\side\\up"), Progress("C:\\z")};
    EXPECT_EQ(s.Lines(), lines);
    EXPECT_EQ(s.tree.OpenCount(), 0);
}

TEST(FolderWalk, WithoutIdentitiesACycleEndsWhereTheListingRefusesThePath) {
    Search s;
    s.tree.Drive('C', DriveType::kFixed);
    s.tree.Folder("C:\\a");
    s.tree.Link("C:\\a\\loop", "C:\\a");
    s.tree.File("C:\\zz\\MG_DATA.MBL");
    s.tree.NoIdentities();
    s.tree.LimitPattern(260);
    EXPECT_FALSE(s.Click());
    EXPECT_STREQ(s.state.FoundDir, "C:\\zz");  // the walk went on after the cycle
    EXPECT_LE(s.tree.MostOpen(), 130);
    EXPECT_EQ(s.tree.OpenCount(), 0);
}

TEST(FolderWalk, PlainFoldersCostNoIdentityQueries) {
    Search s;
    s.tree.Drive('C', DriveType::kFixed);
    s.tree.Folder("C:\\a\\b\\c");
    s.tree.Folder("C:\\d");
    EXPECT_FALSE(s.Click());
    EXPECT_EQ(s.tree.IdentityQueries(), 0);
}

TEST(FolderWalk, PathsTooLongForTheBufferArePassedOver) {
    Search s;
    s.tree.Drive('C', DriveType::kFixed);
    std::string deep = "C:";
    while (deep.size() < kSearchPathCapacity + 40) deep += "\\" + std::string(50, 'd');
    s.tree.Folder(deep);
    s.tree.File("C:\\e\\MG_DATA.MBL");
    EXPECT_FALSE(s.Click());
    EXPECT_STREQ(s.state.FoundDir, "C:\\e");
    for (const std::string& line : s.Lines()) EXPECT_LT(line.size(), kSearchPathCapacity + 8);
}

TEST(FolderWalk, EmptyFolderPathOrStopFlagReturnsAtOnce) {
    Search s;
    s.tree.Drive('C', DriveType::kFixed);
    SearchFolder(s.state, s.tree, s.view, "");
    s.state.StopSearch = true;
    SearchFolder(s.state, s.tree, s.view, "C:");
    EXPECT_TRUE(s.view.events.empty());
    EXPECT_EQ(s.view.pumps, 0);
    EXPECT_TRUE(s.tree.Listed().empty());
}
