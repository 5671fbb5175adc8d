// Replacing the game's executable: the old file survives every failure.
#include "payload/ReplaceFile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <map>
#include <set>
#include <string>

#include "fakes/FakeFileSystem.h"
#include "platform/win32/MoveErrors.h"

namespace {

const char kTarget[] = "D:\\Game\\kestravon.exe";
const char kMarker[] = "D:\\Game\\MG_DATA.MBL";
const std::string kCannotCreate = "ファイル D:\\Game\\kestravon.exe を作成できません";
const std::string kWriteError = "ストリームへの書き込みエラー";
const std::string kNew = "MZ new build";

Error Replace(FakeFileSystem& store, const std::string& bytes = kNew) {
    return ReplaceFileContents(store, kTarget, bytes.data(), static_cast<uint32_t>(bytes.size()));
}

FakeFileSystem Installed(bool replacingMove) {
    FakeFileSystem store;
    store.Put(kTarget, "MZ old build");
    store.Put(kMarker, "data");
    if (!replacingMove) store.WithoutReplacingMove();
    return store;
}

TEST(ReplaceFile, ReplacesOrCreatesTargetAndLeavesNoSideFile) {
    for (bool replacingMove : {true, false}) {
        for (bool existing : {true, false}) {
            FakeFileSystem store = Installed(replacingMove);
            if (!existing) {
                ASSERT_TRUE(store.Remove(kTarget));
            }
            EXPECT_FALSE(Replace(store)) << replacingMove << existing;
            EXPECT_EQ(store.Read(kTarget), kNew) << replacingMove << existing;
            EXPECT_EQ(store.Read(kMarker), "data");
            EXPECT_EQ(store.FileCount(), 2u) << replacingMove << existing;
        }
    }
}

TEST(ReplaceFile, EmptyContentLeavesAnEmptyFile) {
    FakeFileSystem store = Installed(true);
    EXPECT_FALSE(Replace(store, ""));
    EXPECT_TRUE(store.Exists(kTarget));
    EXPECT_EQ(store.Read(kTarget), "");
}

TEST(ReplaceFile, EachFailingStepSaysWhatFailed) {
    // Clearing stale side files may fail harmlessly; every other step says
    // what the user must hear.
    const std::map<std::string, std::string> expected = {
        {"Probe", kCannotCreate},         {"Remove", ""},
        {"CanOpenExclusively", kCannotCreate}, {"CreateNew", kCannotCreate},
        {"Write", kWriteError},           {"Flush", kWriteError},
        {"Close", kWriteError},           {"SetAttributes", kCannotCreate},
        {"MoveReplacing", kCannotCreate},
    };
    FakeFileSystem probe = Installed(true);
    ASSERT_FALSE(Replace(probe));
    std::set<std::string> seen(probe.CallNames().begin(), probe.CallNames().end());
    ASSERT_EQ(seen.size(), expected.size());
    for (int step = 0; step < probe.Calls(); ++step) {
        const std::string& name = probe.CallNames()[step];
        ASSERT_TRUE(expected.count(name)) << name;
        FakeFileSystem store = Installed(true);
        store.FailAtCall(step);
        EXPECT_EQ(Replace(store).Text(), expected.at(name)) << step << " " << name;
    }
}

TEST(ReplaceFile, FailingAnyStepKeepsOldFileAndLeavesNoSideFile) {
    for (bool replacingMove : {true, false}) {
        FakeFileSystem probe = Installed(replacingMove);
        ASSERT_FALSE(Replace(probe));
        for (int step = 0; step < probe.Calls(); ++step) {
            FakeFileSystem store = Installed(replacingMove);
            store.FailAtCall(step);
            Error error = Replace(store);
            EXPECT_FALSE(store.FileOpen()) << step;
            EXPECT_EQ(store.Read(kMarker), "data");
            if (!error) {
                // Only the backup's removal may fail after the new file is in.
                EXPECT_EQ(store.Read(kTarget), kNew) << replacingMove << step;
                continue;
            }
            EXPECT_TRUE(error.Text() == kCannotCreate || error.Text() == kWriteError)
                << replacingMove << step << error.Text();
            EXPECT_EQ(store.Read(kTarget), "MZ old build") << replacingMove << step;
            EXPECT_EQ(store.FileCount(), 2u) << replacingMove << step;
        }
    }
}

TEST(ReplaceFile, TargetThatCannotBeWrittenIsRefusedUntouched) {
    struct Case {
        const char* name;
        void (*setUp)(FakeFileSystem&);
    };
    const Case cases[] = {
        {"read-only", [](FakeFileSystem& s) { s.SetReadOnly(kTarget); }},
        {"held open", [](FakeFileSystem& s) { s.HoldOpen(kTarget); }},
        {"a folder", [](FakeFileSystem& s) { s.Remove(kTarget), s.Folder(kTarget); }},
    };
    for (bool replacingMove : {true, false}) {
        for (const Case& c : cases) {
            FakeFileSystem store = Installed(replacingMove);
            c.setUp(store);
            std::string before = store.Read(kTarget);
            EXPECT_EQ(Replace(store).Text(), kCannotCreate) << c.name;
            EXPECT_EQ(store.Read(kTarget), before) << c.name;
            EXPECT_EQ(store.FileCount(), before == "<missing>" ? 1u : 2u) << c.name;
        }
    }
}

TEST(ReplaceFile, MissingFolderCreatesNothing) {
    FakeFileSystem store;
    EXPECT_EQ(Replace(store).Text(), kCannotCreate);
    EXPECT_EQ(store.FileCount(), 0u);
}

TEST(ReplaceFile, StaleSideFilesOfAnInterruptedRunAreClearedAndNothingElse) {
    const std::string side = std::string(kTarget) + ".~";
    for (bool replacingMove : {true, false}) {
        FakeFileSystem store = Installed(replacingMove);
        for (const char* stale : {"00n", "07n", "99n", "00b", "42b"}) store.Put(side + stale, "stale");
        // Names of the same family that are not ours, and a folder.
        const std::string others[] = {side + "00x", side + "0n", side + "100n", "D:\\Game\\other.exe.~00n",
                                      "D:\\Game\\kestravon.exe~00n"};
        for (const std::string& other : others) store.Put(other, "other");
        store.Folder(side + "01n");
        EXPECT_FALSE(Replace(store)) << replacingMove;
        EXPECT_EQ(store.Read(kTarget), kNew);
        for (const std::string& other : others) EXPECT_EQ(store.Read(other), "other") << other;
        EXPECT_EQ(store.FileCount(), 2u + std::size(others)) << replacingMove;
    }
}

TEST(ReplaceFile, BackupLeftWithoutTargetIsPutBackNotRemoved) {
    const std::string backup = std::string(kTarget) + ".~03b";
    enum Variant { kUpdates, kWriteFails, kPutBackFails, kHiddenSystem, kReadOnly };
    for (bool replacingMove : {true, false}) {
        // Power lost between stepping the old file aside and moving the new
        // one in: the backup is the only copy of the game.
        for (Variant variant : {kUpdates, kWriteFails, kPutBackFails, kHiddenSystem, kReadOnly}) {
            FakeFileSystem store = Installed(replacingMove);
            // Put back, the old file is judged as it is: hidden and system
            // pass on, read-only refuses.
            if (variant == kHiddenSystem) store.GiveAttributes(kTarget, kAttributeHidden | kAttributeSystem);
            if (variant == kReadOnly) store.SetReadOnly(kTarget);
            ASSERT_TRUE(store.Rename(kTarget, backup.c_str()));
            store.Put(std::string(kTarget) + ".~00n", "half");
            if (variant == kWriteFails) store.FailOperation("Write");
            // Backups are tried from ~00b up: the fourth is ~03b.
            if (variant == kPutBackFails) store.FailOperation("Rename", 3);
            Error error = Replace(store);
            bool kept = variant == kWriteFails || variant == kReadOnly;
            EXPECT_EQ(error.Text(), variant == kWriteFails ? kWriteError : kept ? kCannotCreate : "") << replacingMove;
            EXPECT_EQ(store.Read(kTarget), kept ? "MZ old build" : kNew) << replacingMove;
            if (variant == kHiddenSystem) {
                EXPECT_EQ(store.AttributesOf(kTarget), kAttributeHidden | kAttributeSystem | kAttributeArchive);
            }
            // A backup that did not come back goes once the new file is in.
            EXPECT_EQ(store.Read(backup), "<missing>");
            EXPECT_EQ(store.FileCount(), 2u) << replacingMove << variant;
        }
    }
}

// After a double failure on the rename path the game lives on as a backup;
// another file may then appear at the target (a user's copy, a half-finished
// install). Until a new file is in place that backup is the only good copy.
TEST(ReplaceFile, StaleBackupStaysUntilTheNewFileIsInPlace) {
    const std::string backup = std::string(kTarget) + ".~00b";
    const struct {
        const char* what;
        bool replacingMove;
        const char* failing;  // the operation that fails, or "": the update works
        int skip;
    } cases[] = {
        {"the write fails", true, "Write", 0},
        {"the write fails, rename path", false, "Write", 0},
        {"the move fails", true, "MoveReplacing", 0},
        {"the new file cannot be renamed in", false, "Rename", 1},
        {"the update works", true, "", 0},
        {"the update works, rename path", false, "", 0},
    };
    for (const auto& c : cases) {
        FakeFileSystem store = Installed(c.replacingMove);
        store.Put(backup, "MZ good old game");
        store.Put(kTarget, "appeared since");
        store.FailOperation(c.failing, c.skip);
        Error error = Replace(store);
        bool updated = c.failing[0] == '\0';
        EXPECT_EQ(static_cast<bool>(error), !updated) << c.what;
        EXPECT_EQ(store.Read(backup), updated ? "<missing>" : "MZ good old game") << c.what;
        EXPECT_EQ(store.Read(kTarget), updated ? kNew : "appeared since") << c.what;
    }
}

TEST(ReplaceFile, BackupThatCannotComeBackIsNamedAndNeverReportedAsDone) {
    const std::string backup = std::string(kTarget) + ".~00b";
    FakeFileSystem store = Installed(false);
    // Renames: old file aside, new file in (fails), old file back (fails).
    store.FailOperation("Rename", 1, 2);
    Error error = Replace(store);
    EXPECT_EQ(error.Text(), "ファイルを置き換えられません。元のファイルは " + backup + " に残っています");
    EXPECT_EQ(store.Read(backup), "MZ old build");
    EXPECT_FALSE(store.Exists(kTarget));
    EXPECT_EQ(store.FileCount(), 2u);

    // The next run puts the backup back before it starts.
    store.FailOperation("");
    EXPECT_FALSE(Replace(store));
    EXPECT_EQ(store.Read(kTarget), kNew);
    EXPECT_EQ(store.FileCount(), 2u);
}

// Hidden and system stay with the game's file; archive is set whatever the
// old file said: a file just written is one a backup program should take.
TEST(ReplaceFile, HiddenAndSystemPassToTheNewFileWhichIsMarkedForBackup) {
    const uint32_t kArchive = kAttributeArchive;
    const struct {
        bool existing;
        uint32_t old, now;
    } cases[] = {
        {true, 0, kArchive},
        {true, kArchive, kArchive},
        {true, kAttributeHidden, kAttributeHidden | kArchive},
        {true, kAttributeHidden | kAttributeSystem | kArchive, kAttributeHidden | kAttributeSystem | kArchive},
        {false, 0, kArchive},
    };
    for (bool replacingMove : {true, false}) {
        for (const auto& c : cases) {
            FakeFileSystem store = Installed(replacingMove);
            if (c.existing) store.GiveAttributes(kTarget, c.old);
            else store.Remove(kTarget);
            EXPECT_FALSE(Replace(store));
            EXPECT_EQ(store.Read(kTarget), kNew);
            EXPECT_EQ(store.AttributesOf(kTarget), c.now) << replacingMove << " " << c.old;
        }
    }
}

// What a failed replacing move says decides between waiting, the rename path
// and giving up; a 9x driver may say "not supported" in three ways.
TEST(ReplaceFile, MoveErrorsOfASystemWithoutTheMoveTakeTheRenamePath) {
    const struct {
        unsigned long error;
        MoveStatus status;
    } cases[] = {
        {kErrorCallNotImplemented, MoveStatus::kUnsupported}, {kErrorInvalidFunction, MoveStatus::kUnsupported},
        {kErrorNotSupported, MoveStatus::kUnsupported},       {kErrorSharingViolation, MoveStatus::kBusy},
        {kErrorAccessDenied, MoveStatus::kBusy},              {2 /* file not found */, MoveStatus::kFailed},
        {112 /* disk full */, MoveStatus::kFailed},
    };
    for (const auto& c : cases) EXPECT_EQ(MoveStatusOfError(c.error), c.status) << c.error;
}

TEST(ReplaceFile, MoveHeldByAScannerIsRetriedForAboutTwoSeconds) {
    for (int busy : {1, kMoveTries - 1, kMoveTries}) {
        FakeFileSystem store = Installed(true);
        store.BusyMoves(busy);
        Error error = Replace(store);
        bool gaveUp = busy == kMoveTries;
        EXPECT_EQ(error.Text(), gaveUp ? kCannotCreate : "") << busy;
        EXPECT_EQ(store.Read(kTarget), gaveUp ? "MZ old build" : kNew) << busy;
        EXPECT_EQ(store.PausedMs(), static_cast<uint32_t>(std::min(busy, kMoveTries - 1)) * kMoveRetryPauseMs);
        EXPECT_LE(store.PausedMs(), 2000u);
        EXPECT_EQ(store.FileCount(), 2u) << busy;
    }
    // Any other failure of the move ends at once.
    FakeFileSystem store = Installed(true);
    store.FailOperation("MoveReplacing");
    EXPECT_EQ(Replace(store).Text(), kCannotCreate);
    EXPECT_EQ(store.PausedMs(), 0u);
}

TEST(ReplaceFile, TargetTooLongForTheLongSideNameUsesAShortOne) {
    // Up to 254 characters "<target>.~00n" fits the 259 a path may have;
    // past that "<folder>kestravo.~00n" does, up to a target of 259.
    for (size_t length : {254u, 255u, 259u, 260u}) {
        std::string folder = "D:\\" + std::string(length - 3 - 1 - 13, 'a') + "\\";
        std::string target = folder + "kestravon.exe";
        ASSERT_EQ(target.size(), length);
        for (bool replacingMove : {true, false}) {
            FakeFileSystem store;
            store.Put(target, "old");
            store.Put(folder + "kestravo.~05n", "stale");
            if (!replacingMove) store.WithoutReplacingMove();
            Error error = ReplaceFileContents(store, target.c_str(), "x", 1);
            if (length == 260) {
                EXPECT_EQ(error.Text(), "ファイル " + target + " を作成できません");
                EXPECT_EQ(store.Read(target), "old");
                EXPECT_EQ(store.FileCount(), 2u);
                continue;
            }
            EXPECT_FALSE(error) << length;
            EXPECT_EQ(store.Read(target), "x") << length;
            ASSERT_FALSE(store.Created().empty());
            std::string expectedTemp = length == 254 ? target + ".~00n" : folder + "kestravo.~00n";
            EXPECT_EQ(store.Created().front(), expectedTemp) << length;
            // The stale short name is this program's only where it is in use.
            EXPECT_EQ(store.FileCount(), length == 254 ? 2u : 1u) << length << replacingMove;
        }
    }
}

}  // namespace
