// The decoded file's memory: growth keeps every byte, failure loses none.
#include "payload/MemoryStream.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace {

int growthsAllowed = 0;
void* GrowALittle(void* block, size_t size) {
    return growthsAllowed-- > 0 ? std::realloc(block, size) : nullptr;
}

std::string Contents(const MemoryStream& stream) {
    return std::string(reinterpret_cast<const char*>(stream.Data()), stream.Size());
}

TEST(MemoryStream, KeepsEveryByteAcrossGrowth) {
    MemoryStream stream;
    std::string expected;
    for (uint32_t count : {0u, 1u, 16383u, 16384u, 70000u, 5u}) {
        std::string piece(count, static_cast<char>('a' + count % 26));
        EXPECT_FALSE(stream.Append(piece.data(), count));
        expected += piece;
    }
    EXPECT_EQ(Contents(stream), expected);
}

TEST(MemoryStream, FailedGrowthSaysOutOfMemoryAndKeepsWhatItHeld) {
    growthsAllowed = 1;
    MemoryStream stream(GrowALittle);
    std::string first(16384, 'x');
    EXPECT_FALSE(stream.Append(first.data(), 16384));
    Error error = stream.Append("y", 1);
    EXPECT_STREQ(error.Text(), "メモリストリームの拡大中にメモリが足りなくなりました");
    EXPECT_EQ(Contents(stream), first);
}

}  // namespace
