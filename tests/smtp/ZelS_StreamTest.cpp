#include <gtest/gtest.h>

#include <string>
#include <typeinfo>

#include "smtp/ZelS_Stream.h"

namespace {

std::string Pattern(size_t n) {
    std::string bytes(n, '\0');
    for (size_t i = 0; i < n; ++i)
        bytes[i] = static_cast<char>('A' + i % 23 + i / 23 % 7);
    return bytes;
}

std::string ReadAll(TStream& stream) {
    std::string bytes(stream.Size(), '\0');
    stream.SetPosition(0);
    stream.ReadBuffer(bytes.data(), bytes.size());
    return bytes;
}

// A memory stream that takes only Capacity bytes in all.
class LimitedStream : public TMemoryStream {
  public:
    int64_t Write(const void* buffer, int64_t count) override {
        return TMemoryStream::Write(buffer, std::min<int64_t>(count, Capacity - Size()));
    }
    int64_t Capacity = 0;
};

}  // namespace

TEST(S_BufferStream, LargeWriteKeepsTheRestPendingUntilSeek) {
    const std::string data = Pattern(40000);
    TMemoryStream target;
    int drains = 0;
    {
        TS_BufferStream buffered(target);
        buffered.OnDrain = [&](TS_BufferStream*) { ++drains; };
        EXPECT_EQ(buffered.Write(data.data(), data.size()), 40000);
        EXPECT_EQ(target.Size(), 32768);
        EXPECT_EQ(drains, 1);
        EXPECT_EQ(buffered.Cursor() - buffered.Block(), 7232);
        EXPECT_EQ(buffered.Mode(), TS_BufferStream::Writing);
        EXPECT_EQ(buffered.Position(), 40000);
        EXPECT_EQ(buffered.Seek(0, soFromBeginning), 0);
        EXPECT_EQ(target.Data(), data);
        EXPECT_EQ(ReadAll(buffered), data);
    }
    TMemoryStream other;
    {
        TS_BufferStream buffered(other);
        buffered.WriteBuffer("tail", 4);
        EXPECT_EQ(other.Size(), 0);
    }
    EXPECT_EQ(other.Data(), "tail");  // destruction writes what is pending
}

TEST(S_BufferStream, SizeCountsPendingBytes) {
    TMemoryStream target;
    TS_BufferStream buffered(target);
    buffered.WriteBuffer("12345", 5);
    EXPECT_EQ(buffered.Size(), 5);
    EXPECT_EQ(buffered.Position(), 5);
    EXPECT_EQ(buffered.Seek(-2, soFromEnd), 3);
    char c;
    buffered.ReadBuffer(&c, 1);
    EXPECT_EQ(c, '4');
}

TEST(S_BufferStream, InvalidOriginAndPutBackFailures) {
    TMemoryStream target;
    TS_BufferStream buffered(target);
    try {
        buffered.Seek(0, 3);
        FAIL();
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), "Invalid seek origin = 3");
        EXPECT_EQ(typeid(e), typeid(Exception));
    }
    try {
        buffered.PutBack('x');
        FAIL();
    } catch (const EStreamError& e) {
        EXPECT_EQ(e.Message(), "PutBack overflow");
    }
    buffered.WriteBuffer("ab", 2);
    EXPECT_THROW(buffered.PutBack('x'), EStreamError);  // pending output is not read data
}

TEST(S_BufferStream, PutBackIsReadNext) {
    TMemoryStream target;
    target.WriteBuffer("abc", 3);
    TS_BufferStream buffered(target);
    buffered.SetPosition(0);
    char c[3] = {};
    buffered.ReadBuffer(c, 1);
    buffered.PutBack('z');
    EXPECT_EQ(buffered.Position(), 0);
    EXPECT_EQ(buffered.Read(c, 3), 3);
    EXPECT_EQ(std::string(c, 3), "zbc");
}

// Every switch between reading and writing without a seek must act on the logical position.
TEST(S_BufferStream, SwitchingBetweenReadAndWriteKeepsEveryByte) {
    struct Case {
        const char* name;
        size_t readFirst;   // bytes read before writing (when writeFirst is 0)
        size_t writeFirst;  // bytes written before reading
        size_t thenCount;   // bytes written or read after the switch
    } cases[] = {
        {"read 10, write 3", 10, 0, 3},
        {"read 40000, write 100", 40000, 0, 100},
        {"write 5, read 5", 0, 5, 5},
        {"write a full block, read 10", 0, 32768, 10},
        {"write 40000, read 100", 0, 40000, 100},
    };
    for (const auto& c : cases) {
        std::string expected = Pattern(100000);
        TMemoryStream target;
        target.WriteBuffer(expected.data(), expected.size());
        target.SetPosition(0);
        TS_BufferStream buffered(target);
        std::string got(c.thenCount, '\0');
        if (c.writeFirst == 0) {
            buffered.ReadBuffer(got.data(), 0);
            std::string skip(c.readFirst, '\0');
            buffered.ReadBuffer(skip.data(), skip.size());
            const std::string patch(c.thenCount, '#');
            buffered.WriteBuffer(patch.data(), patch.size());
            expected.replace(c.readFirst, patch.size(), patch);
            EXPECT_EQ(buffered.Position(), int64_t(c.readFirst + c.thenCount)) << c.name;
        } else {
            const std::string patch(c.writeFirst, '#');
            buffered.WriteBuffer(patch.data(), patch.size());
            buffered.ReadBuffer(got.data(), got.size());
            EXPECT_EQ(got, expected.substr(c.writeFirst, c.thenCount)) << c.name;
            expected.replace(0, patch.size(), patch);
        }
        EXPECT_EQ(ReadAll(buffered), expected) << c.name;
    }
}

TEST(S_BufferStream, ReadsAcrossBlocksAndSeeksRelativeToTheLogicalPosition) {
    const std::string data = Pattern(100000);
    TMemoryStream target;
    target.WriteBuffer(data.data(), data.size());
    TS_BufferStream buffered(target);
    buffered.SetPosition(0);
    int refills = 0;
    buffered.OnRefill = [&](TS_BufferStream* sender) {
        refills += sender->Mode() == TS_BufferStream::Reading;
    };
    std::string got;
    char chunk[777];
    while (const int64_t n = buffered.Read(chunk, sizeof chunk))
        got.append(chunk, n);
    EXPECT_EQ(got, data);
    EXPECT_EQ(refills, 4);  // whole blocks from the target, not one per small read
    buffered.SetPosition(10);
    buffered.ReadBuffer(chunk, 1);
    EXPECT_EQ(buffered.Seek(5, soFromCurrent), 16);
    buffered.ReadBuffer(chunk, 1);
    EXPECT_EQ(chunk[0], data[16]);
}

TEST(S_BufferStream, RefusedDrainKeepsBytesAndFailsTheSeek) {
    const std::string data = Pattern(40000);
    LimitedStream target;
    target.Capacity = 1000;
    TS_BufferStream buffered(target);
    EXPECT_EQ(buffered.Write(data.data(), data.size()), 32768);
    try {
        buffered.Seek(0, soFromBeginning);
        FAIL();
    } catch (const EStreamError& e) {
        EXPECT_EQ(e.Message(), "Seek error");
    }
    target.Capacity = 1 << 20;
    EXPECT_EQ(buffered.Seek(0, soFromBeginning), 0);
    EXPECT_EQ(target.Data(), data.substr(0, 32768));
}
