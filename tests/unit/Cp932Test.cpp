// Text rules that a byte-by-byte scan would get wrong on CP932 trail bytes.
#include <gtest/gtest.h>
#include <string.h>

#include "platform/Cp932.h"
#include "platform/Error.h"

TEST(Cp932, TrailByteBackslashIsNotASeparator) {
    // "ソ" is 0x83 0x5C: its trail byte is '\'.
    EXPECT_FALSE(EndsWithBackslash("C:\\ソ"));
    EXPECT_TRUE(EndsWithBackslash("C:\\ソ\\"));
    EXPECT_TRUE(EndsWithBackslash("\\"));
    EXPECT_FALSE(EndsWithBackslash(""));
}

TEST(Cp932, BuilderCutsAtWholeCharacterAndSaysSo) {
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

TEST(Error, FillsOnePlaceholderAndKeepsTrailBytes) {
    EXPECT_STREQ(Error::Make("ファイル %s を作成できません", "C:\\ソ\\x").Text(),
                 "ファイル C:\\ソ\\x を作成できません");
    EXPECT_FALSE(Error());
    EXPECT_TRUE(Error::Make("x"));
}
