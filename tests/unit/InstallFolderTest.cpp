// The main window's copy of the install folder: when it changes, when the
// window gives up, and which file the update writes.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "app/InstallFolder.h"
#include "fakes/FakeRegistry.h"
#include "resources/Names.h"
#include "resources/Texts.h"

namespace {

const char kSubkey[] = "Software\\Brackwen\\KESTRAVON";

struct Folder {
    char dir[kPathCapacity] = "";
    explicit Folder(const char* start) { std::strcpy(dir, start); }
};

std::string Message(const char* pattern) { return Error::Make(pattern, names::kRecordValue).Text(); }

}  // namespace

TEST(RereadAfterFirstLocate, GivesUpOnlyWhenTheRecordStillHoldsNoFolder) {
    struct Case {
        bool subkey;
        bool value;
        const char* data;
        bool giveUp;
    } cases[] = {
        {false, false, "", true},   // dialog closed, nothing stored
        {true, false, "", true},    // subkey without the value
        {true, true, "", true},     // an empty value
        {true, true, "D:\\Game\\", false},
    };
    for (const Case& c : cases) {
        FakeRegistry registry;
        if (c.subkey) registry.AddKey(kSubkey);
        if (c.value) registry.Put(kSubkey, names::kRecordValue, c.data);
        Folder folder("");
        bool giveUp = !c.giveUp;
        EXPECT_FALSE(RereadAfterFirstLocate(registry, folder.dir, &giveUp)) << c.data;
        EXPECT_EQ(giveUp, c.giveUp) << c.data;
        EXPECT_STREQ(folder.dir, c.data);
    }
}

TEST(RereadAfterFirstLocate, ReadErrorKeepsTheWindowAndTheFolder) {
    for (int call = 0; call < 3; ++call) {
        FakeRegistry registry;
        registry.Put(kSubkey, names::kRecordValue, "D:\\Game\\");
        registry.FailAtCall(call);
        Folder folder("");
        bool giveUp = true;
        EXPECT_TRUE(RereadAfterFirstLocate(registry, folder.dir, &giveUp)) << call;
        EXPECT_FALSE(giveUp) << call;
        EXPECT_STREQ(folder.dir, "") << call;
    }
    FakeRegistry registry;
    registry.Put(kSubkey, names::kRecordValue, "7", FakeRegistry::Type::kDword);
    Folder folder("");
    bool giveUp = true;
    Error e = RereadAfterFirstLocate(registry, folder.dir, &giveUp);
    EXPECT_EQ(e.Text(), Message(texts::kValueWrongType));
    EXPECT_FALSE(giveUp);
}

TEST(AdoptChangedFolder, NewFolderCountsAtOnceEmptyOrUnreadableKeepsTheOld) {
    {
        FakeRegistry registry;
        registry.Put(kSubkey, names::kRecordValue, "E:\\ゲーム\\ソ\\");
        Folder folder("D:\\Old\\");
        EXPECT_FALSE(AdoptChangedFolder(registry, folder.dir));
        EXPECT_STREQ(folder.dir, "E:\\ゲーム\\ソ\\");
    }
    {
        FakeRegistry registry;  // the dialog was closed without storing
        Folder folder("D:\\Old\\");
        EXPECT_FALSE(AdoptChangedFolder(registry, folder.dir));
        EXPECT_STREQ(folder.dir, "D:\\Old\\");
    }
    {
        FakeRegistry registry;
        registry.Put(kSubkey, names::kRecordValue, "");
        Folder folder("D:\\Old\\");
        EXPECT_FALSE(AdoptChangedFolder(registry, folder.dir));
        EXPECT_STREQ(folder.dir, "D:\\Old\\");
    }
    for (int call = 0; call < 3; ++call) {
        FakeRegistry registry;
        registry.Put(kSubkey, names::kRecordValue, "E:\\New\\");
        registry.FailAtCall(call);
        Folder folder("D:\\Old\\");
        EXPECT_TRUE(AdoptChangedFolder(registry, folder.dir)) << call;
        EXPECT_STREQ(folder.dir, "D:\\Old\\") << call;
    }
}

// Each of these would be found from the current drive or folder: the update
// would write there and report success.
TEST(UpdateTargetPath, FolderThatIsNoFullPathIsRefusedInsteadOfWritingToTheCurrentFolder) {
    for (const char* dir : {"", "Game\\", "kestravon", "\\Game\\", "C:", "C:Game\\", "..\\Game\\",
                            "\\\\server\\", "\\\\\\share\\", "/Game/"}) {
        char target[kUpdateTargetCapacity] = "junk";
        Error e = UpdateTargetPath(dir, target, sizeof target);
        EXPECT_STREQ(e.Text(), texts::kNoInstallFolder) << dir;
        EXPECT_STREQ(target, "") << dir;
    }
    char target[kUpdateTargetCapacity];
    EXPECT_FALSE(UpdateTargetPath("\\\\server\\share\\Game\\", target, sizeof target));
    EXPECT_STREQ(target, "\\\\server\\share\\Game\\kestravon.exe");
}

TEST(UpdateTargetPath, JoinsByPlainConcatenation) {
    char target[kUpdateTargetCapacity];
    EXPECT_FALSE(UpdateTargetPath("C:\\ソ\\", target, sizeof target));
    EXPECT_STREQ(target, "C:\\ソ\\kestravon.exe");

    // The longest folder the record can hold still fits.
    std::string longest = "C:\\" + std::string(kPathCapacity - 5, 'a') + "\\";
    EXPECT_FALSE(UpdateTargetPath(longest.c_str(), target, sizeof target));
    EXPECT_EQ(target, longest + "kestravon.exe");
}

// A record written by hand or by another tool may lack its closing "\\":
// plain concatenation would write beside the game folder, then report success.
TEST(UpdateTargetPath, FolderWithoutClosingSeparatorGetsOne) {
    struct Case {
        const char* dir;
        const char* target;
    } cases[] = {
        {"C:\\Game", "C:\\Game\\kestravon.exe"},
        {"C:\\", "C:\\kestravon.exe"},
        // The trail byte of "ソ" is 0x5C: no separator of its own.
        {"C:\\ソ", "C:\\ソ\\kestravon.exe"},
        {"D:\\\\", "D:\\\\kestravon.exe"},
    };
    for (const Case& c : cases) {
        char target[kUpdateTargetCapacity];
        EXPECT_FALSE(UpdateTargetPath(c.dir, target, sizeof target)) << c.dir;
        EXPECT_STREQ(target, c.target);
    }
    // The longest record without its "\\" still fits.
    std::string longest = "C:\\" + std::string(kPathCapacity - 4, 'a');
    char target[kUpdateTargetCapacity];
    EXPECT_FALSE(UpdateTargetPath(longest.c_str(), target, sizeof target));
    EXPECT_EQ(target, longest + "\\kestravon.exe");
}

TEST(UpdateTargetPath, TooSmallABufferGivesAnErrorNotACutName) {
    char target[16];
    EXPECT_TRUE(UpdateTargetPath("C:\\Games\\Vesperlin\\", target, sizeof target));
    EXPECT_STREQ(target, "");
}
