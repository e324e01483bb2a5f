#include <gtest/gtest.h>

#include <random>

#include "platform/Stream.h"

// Writes in uneven pieces across the size where the stream moves to a mapped block, then reads
// everything back.
TEST(MemoryStream, KeepsEveryByteAcrossGrowth) {
    for (size_t total : {0u, 1u, 4095u, (2u << 20) - 1, (2u << 20) + 1, 5u << 20}) {
        std::string data(total, '\0');
        std::mt19937 random(static_cast<unsigned>(total));
        for (auto& c : data)
            c = static_cast<char>(random());
        TMemoryStream stream;
        for (size_t at = 0; at < total;) {
            const size_t piece = std::min<size_t>(total - at, 1 + random() % 70000);
            ASSERT_EQ(stream.Write(data.data() + at, piece), static_cast<int64_t>(piece));
            at += piece;
        }
        EXPECT_EQ(stream.Size(), static_cast<int64_t>(total));
        EXPECT_TRUE(stream.Data() == data) << total;
        stream.SetPosition(0);
        std::string back(total, '\0');
        EXPECT_EQ(stream.Read(back.data(), total + 10), static_cast<int64_t>(total));
        EXPECT_EQ(back, data);
    }
}

TEST(MemoryStream, WritePastTheEndFillsTheGapWithZeros) {
    TMemoryStream stream;
    stream.WriteBuffer("ab", 2);
    stream.Seek(3, soFromEnd);
    stream.WriteBuffer("z", 1);
    EXPECT_EQ(stream.Data(), std::string_view("ab\0\0\0z", 6));
    stream.Clear();
    EXPECT_EQ(stream.Size(), 0);
    stream.WriteBuffer("q", 1);
    EXPECT_EQ(stream.Data(), "q");
}
