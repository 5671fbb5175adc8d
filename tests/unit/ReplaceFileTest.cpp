// Replacing the game's executable: the old file survives every failure.
#include "payload/ReplaceFile.h"

#include <gtest/gtest.h>

#include <string>

#include "fakes/FakeFileStore.h"

namespace {

const char kTarget[] = "D:\\Game\\kestravon.exe";
const char kMarker[] = "D:\\Game\\MG_DATA.MBL";
const std::string kCannotCreate = "ファイル D:\\Game\\kestravon.exe を作成できません";
const std::string kWriteError = "ストリームへの書き込みエラー";
const std::string kNew = "MZ new build";

Error Replace(FakeFileStore& store, const std::string& bytes = kNew) {
    return ReplaceFileContents(store, kTarget, bytes.data(), static_cast<uint32_t>(bytes.size()));
}

FakeFileStore Installed(bool replacingMove) {
    FakeFileStore store;
    store.Put(kTarget, "MZ old build");
    store.Put(kMarker, "data");
    if (!replacingMove) store.WithoutReplacingMove();
    return store;
}

TEST(ReplaceFile, ReplacesOrCreatesTargetAndLeavesNoSideFile) {
    for (bool replacingMove : {true, false}) {
        for (bool existing : {true, false}) {
            FakeFileStore store = Installed(replacingMove);
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
    FakeFileStore store = Installed(true);
    EXPECT_FALSE(Replace(store, ""));
    EXPECT_TRUE(store.Exists(kTarget));
    EXPECT_EQ(store.Read(kTarget), "");
}

TEST(ReplaceFile, EachFailingStepSaysWhatFailed) {
    // Target check, exclusive probe, create, write, flush, close, move.
    const std::string expected[] = {kCannotCreate, kCannotCreate, kCannotCreate, kWriteError,
                                    kWriteError,   kWriteError,   kCannotCreate};
    FakeFileStore probe = Installed(true);
    ASSERT_FALSE(Replace(probe));
    ASSERT_EQ(probe.Calls(), 7);
    for (int step = 0; step < 7; ++step) {
        FakeFileStore store = Installed(true);
        store.FailAtCall(step);
        EXPECT_EQ(Replace(store).Text(), expected[step]) << step;
    }
}

TEST(ReplaceFile, FailingAnyStepKeepsOldFileAndLeavesNoSideFile) {
    for (bool replacingMove : {true, false}) {
        FakeFileStore probe = Installed(replacingMove);
        ASSERT_FALSE(Replace(probe));
        for (int step = 0; step < probe.Calls(); ++step) {
            FakeFileStore store = Installed(replacingMove);
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
        void (*setUp)(FakeFileStore&);
    };
    const Case cases[] = {
        {"read-only", [](FakeFileStore& s) { s.SetReadOnly(kTarget); }},
        {"held open", [](FakeFileStore& s) { s.HoldOpen(kTarget); }},
        {"a folder", [](FakeFileStore& s) { s.Remove(kTarget), s.AddFolder(std::string(kTarget) + "\\"); }},
    };
    for (bool replacingMove : {true, false}) {
        for (const Case& c : cases) {
            FakeFileStore store = Installed(replacingMove);
            c.setUp(store);
            std::string before = store.Read(kTarget);
            EXPECT_EQ(Replace(store).Text(), kCannotCreate) << c.name;
            EXPECT_EQ(store.Read(kTarget), before) << c.name;
            EXPECT_EQ(store.FileCount(), before == "<missing>" ? 1u : 2u) << c.name;
        }
    }
}

TEST(ReplaceFile, MissingFolderCreatesNothing) {
    FakeFileStore store;
    EXPECT_EQ(Replace(store).Text(), kCannotCreate);
    EXPECT_EQ(store.FileCount(), 0u);
}

TEST(ReplaceFile, LeftoverSideFilesOfAnEarlierRunAreSteppedAroundAndKept) {
    for (bool replacingMove : {true, false}) {
        FakeFileStore store = Installed(replacingMove);
        store.Put("D:\\Game\\kestravon.exe.~00n", "stale new");
        store.Put("D:\\Game\\kestravon.exe.~00b", "stale backup");
        EXPECT_FALSE(Replace(store)) << replacingMove;
        EXPECT_EQ(store.Read(kTarget), kNew);
        EXPECT_EQ(store.Read("D:\\Game\\kestravon.exe.~00n"), "stale new");
        EXPECT_EQ(store.Read("D:\\Game\\kestravon.exe.~00b"), "stale backup");
        EXPECT_EQ(store.FileCount(), 4u);
    }
}

TEST(ReplaceFile, PathTooLongForASideFileIsRefused) {
    std::string folder = "D:\\" + std::string(250, 'a') + "\\";
    std::string target = folder + "kestravon.exe";
    FakeFileStore store;
    store.Put(target, "old");
    Error error = ReplaceFileContents(store, target.c_str(), "x", 1);
    EXPECT_EQ(error.Text(), "ファイル " + target + " を作成できません");
    EXPECT_EQ(store.Read(target), "old");
    EXPECT_EQ(store.FileCount(), 1u);
}

}  // namespace
