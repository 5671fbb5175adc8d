// The install location record: what reads as empty, what each failure says.
#include "locate/InstallRecord.h"

#include <gtest/gtest.h>

#include <string>

#include "fakes/FakeRegistry.h"

namespace {

const std::string kKey = "Software\\Brackwen";
const std::string kSubkey = "Software\\Brackwen\\KESTRAVON";

std::string Read(FakeRegistry& registry, Error* error) {
    char out[kPathCapacity] = "untouched";
    *error = ReadInstallDir(registry, out, sizeof out);
    return out;
}

TEST(InstallRecord, ReadsStoredFolderOfEitherStringType) {
    for (auto type : {FakeRegistry::Type::kString, FakeRegistry::Type::kExpandString}) {
        FakeRegistry registry;
        registry.Put(kSubkey, "GameDir", "C:\\Game\\ゲーム\\", type);
        Error error;
        EXPECT_EQ(Read(registry, &error), "C:\\Game\\ゲーム\\");
        EXPECT_FALSE(error);
    }
}

TEST(InstallRecord, AbsentRecordReadsEmptyAndCreatesOnlyTheParentKey) {
    struct Case {
        const char* name;
        bool subkey;
        bool value;
    };
    const Case cases[] = {
        {"no subkey", false, false},
        {"no value", true, false},
        {"empty value", true, true},
    };
    for (const Case& c : cases) {
        FakeRegistry registry;
        if (c.subkey) registry.AddKey(kSubkey);
        if (c.value) registry.Put(kSubkey, "GameDir", "");
        Error error;
        EXPECT_EQ(Read(registry, &error), "") << c.name;
        EXPECT_FALSE(error) << c.name;
        EXPECT_TRUE(registry.HasKey(kKey)) << c.name;
        EXPECT_EQ(registry.HasKey(kSubkey), c.subkey) << c.name;
    }
}

TEST(InstallRecord, ValueOfWrongTypeNamesTheValueAndKeepsCallersCopy) {
    FakeRegistry registry;
    registry.Put(kSubkey, "GameDir", "1", FakeRegistry::Type::kDword);
    Error error;
    EXPECT_EQ(Read(registry, &error), "untouched");
    EXPECT_STREQ(error.Text(), "'GameDir' のデータ型が不正です");
}

TEST(InstallRecord, FailedReadStepsSayWhatFailedAndKeepCallersCopy) {
    const char* expected[] = {
        "キー Software\\Brackwen の作成に失敗しました",  // the parent key
        "'GameDir' の取得に失敗しました",                // the subkey
        "'GameDir' の取得に失敗しました",                // the value
    };
    for (int step = 0; step < 3; ++step) {
        FakeRegistry registry;
        registry.Put(kSubkey, "GameDir", "C:\\Game\\");
        registry.FailAtCall(step);
        Error error;
        EXPECT_EQ(Read(registry, &error), "untouched") << step;
        EXPECT_STREQ(error.Text(), expected[step]) << step;
    }
}

TEST(InstallRecord, FolderLongerThanCallersBufferIsAnErrorNotACut) {
    FakeRegistry registry;
    registry.Put(kSubkey, "GameDir", "C:\\Game\\");
    char out[8] = "keep";
    Error error = ReadInstallDir(registry, out, sizeof out);
    EXPECT_STREQ(error.Text(), "'GameDir' の取得に失敗しました");
    EXPECT_STREQ(out, "keep");
}

TEST(InstallRecord, StoredFolderReadsBack) {
    FakeRegistry registry;
    EXPECT_FALSE(StoreInstallDir(registry, "D:\\ソフト\\Vesperlin\\"));
    const FakeRegistry::Value* value = registry.Get(kSubkey, "GameDir");
    ASSERT_NE(value, nullptr);
    EXPECT_EQ(value->type, FakeRegistry::Type::kString);
    Error error;
    EXPECT_EQ(Read(registry, &error), "D:\\ソフト\\Vesperlin\\");
    EXPECT_FALSE(error);
}

TEST(InstallRecord, FailedStoreStepsSayWhatFailedAndStoreNothing) {
    const char* expected[] = {
        "キー Software\\Brackwen の作成に失敗しました",
        "キー KESTRAVON の作成に失敗しました",
        "'GameDir' の設定に失敗しました",
    };
    for (int step = 0; step < 3; ++step) {
        FakeRegistry registry;
        registry.FailAtCall(step);
        Error error = StoreInstallDir(registry, "C:\\Game\\");
        EXPECT_STREQ(error.Text(), expected[step]) << step;
        EXPECT_EQ(registry.Get(kSubkey, "GameDir"), nullptr) << step;
    }
}

}  // namespace
