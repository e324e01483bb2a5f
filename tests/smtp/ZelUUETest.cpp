#include <gtest/gtest.h>

#include <QByteArray>
#include <QTemporaryDir>
#include <random>
#include <string>
#include <vector>

#include "smtp/ZelS_Stream.h"
#include "smtp/ZelUUE.h"

namespace {

std::string Encode(const std::string& data, UUMethods method) {
    TMemoryStream source, destination;
    source.WriteBuffer(data.data(), data.size());
    TZelUUProcessor processor;
    processor.Method = method;
    processor.Source = &source;
    processor.Destination = &destination;
    processor.Encode();
    return std::string(destination.Data());
}

std::string RandomBytes(size_t n, unsigned seed) {
    std::mt19937 random(seed);
    std::string bytes(n, '\0');
    for (char& c : bytes)
        c = static_cast<char>(random());
    return bytes;
}

// Base64 from Qt, cut into 45-byte lines.
std::string ReferenceMimeLines(const std::string& data) {
    std::string lines;
    for (size_t at = 0; at < data.size(); at += 45) {
        const QByteArray slice(data.data() + at,
                               static_cast<qsizetype>(std::min<size_t>(45, data.size() - at)));
        lines += slice.toBase64().toStdString() + "\r\n";
    }
    return lines;
}

// The classic uudecode rule: every character stands for (c - 32) & 63.
std::string UuDecode(const std::string& text) {
    std::string bytes;
    size_t at = 0;
    for (;;) {
        const size_t end = text.find("\r\n", at);
        if (end == std::string::npos)
            break;
        const std::string line = text.substr(at, end - at);
        at = end + 2;
        const size_t n = (line[0] - 32) & 63;
        if (n == 0)
            break;
        std::vector<unsigned> v;
        for (size_t i = 1; i < line.size(); ++i)
            v.push_back((line[i] - 32) & 63);
        v.resize((n + 2) / 3 * 4, 0);
        for (size_t i = 0, g = 0; i < n; ++i) {
            if (i % 3 == 0)
                bytes += static_cast<char>(v[g] << 2 | v[g + 1] >> 4);
            if (i % 3 == 1)
                bytes += static_cast<char>((v[g + 1] & 15) << 4 | v[g + 2] >> 2);
            if (i % 3 == 2)
                bytes += static_cast<char>((v[g + 2] & 3) << 6 | v[g + 3]), g += 4;
        }
    }
    return bytes;
}

}  // namespace

std::string Repeat(const std::string& group, int times) {
    std::string text;
    for (int i = 0; i < times; ++i)
        text += group;
    return text;
}

TEST(ZelUUProcessor, ListedLineShapes) {
    const std::string a45(45, 'a'), a46(46, 'a'), a47(47, 'a'), zeros(3, '\0');
    const std::string mime60 = Repeat("YWFh", 15), code60 = Repeat("86%A", 15);  // "aaa" groups
    struct Case {
        std::string data;
        UUMethods method;
        std::string expected;
    } cases[] = {
        {"", uuMime, ""},
        {"", uuCode, "`\r\n"},
        {a45, uuMime, mime60 + "\r\n"},
        {a46, uuMime, mime60 + "\r\nYQ==\r\n"},
        {a47, uuMime, mime60 + "\r\nYWE=\r\n"},
        {a46, uuCode, "M" + code60 + "\r\n!80\r\n`\r\n"},
        {a47, uuCode, "M" + code60 + "\r\n\"86$\r\n`\r\n"},
        {zeros, uuMime, "AAAA\r\n"},
        {zeros, uuCode, "#````\r\n`\r\n"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Encode(c.data, c.method), c.expected)
            << c.data.size() << " bytes, method " << c.method;
    }
}

// Lengths 0 to 200 cover every remainder and line count; the long one crosses the encoder's
// internal read size.
TEST(ZelUUProcessor, MatchesIndependentBase64AndUudecode) {
    std::vector<size_t> lengths;
    for (size_t n = 0; n <= 200; ++n)
        lengths.push_back(n);
    lengths.push_back(45 * 728 * 2 + 46);
    for (size_t n : lengths) {
        const std::string data = RandomBytes(n, static_cast<unsigned>(n));
        EXPECT_EQ(Encode(data, uuMime), ReferenceMimeLines(data)) << n;
        const std::string code = Encode(data, uuCode);
        EXPECT_EQ(UuDecode(code), data) << n;
        EXPECT_EQ(code.find(' '), std::string::npos) << n;
    }
}

// A source that hands out at most a few bytes per read and can fail on demand.
class TrickleStream : public TMemoryStream {
  public:
    int64_t Read(void* buffer, int64_t count) override {
        if (failAfterReads >= 0 && reads++ == failAfterReads)
            throw EInOutError("read failed");
        return TMemoryStream::Read(buffer, std::min<int64_t>(count, 7));
    }
    int failAfterReads = -1;
    int reads = 0;
};

TEST(ZelUUProcessor, ShortReadsInTheMiddleDoNotCutLines) {
    const std::string data = RandomBytes(1000, 1);
    TrickleStream source;
    source.WriteBuffer(data.data(), data.size());
    TMemoryStream destination;
    TZelUUProcessor processor;
    processor.Source = &source;
    processor.Destination = &destination;
    processor.Encode();
    EXPECT_EQ(destination.Data(), ReferenceMimeLines(data));
}

TEST(ZelUUProcessor, EventsAndPositionsAroundEncode) {
    for (bool failing : {false, true}) {
        TrickleStream source;
        source.WriteBuffer("abcdefghij", 10);  // left at the end: Encode starts from 0 anyway
        source.failAfterReads = failing ? 1 : -1;
        TMemoryStream destination;
        TZelUUProcessor processor;
        processor.Source = &source;
        processor.Destination = &destination;
        std::string log;
        processor.OnBeginEncode = [&](TObject* sender) {
            log += sender == &processor ? "begin " : "?";
        };
        processor.OnEndEncode = [&](TObject*) {
            log += "end@" + std::to_string(destination.Position());
        };
        if (failing) {
            EXPECT_THROW(processor.Encode(), EInOutError);
        } else {
            processor.Encode();
            EXPECT_EQ(destination.Data(), "YWJjZGVmZ2hpag==\r\n");
        }
        EXPECT_EQ(log, "begin end@0") << failing;
        EXPECT_EQ(processor.Alphabet.size(), 64u);
    }
}

TEST(ZelUUProcessor, AttachmentFileThroughBufferedStream) {
    QTemporaryDir dir;
    const std::string path = dir.filePath("attachment.bin").toStdString();
    const std::string data = RandomBytes(100000, 2);
    {
        TFileStream file(path, TFileStream::fmCreate);
        file.WriteBuffer(data.data(), data.size());
    }
    QObject owner;
    auto* processor = new TZelUUProcessor(&owner);
    TMemoryStream memory;
    TS_BufferStream buffered(memory);
    TFileStream file(path, TFileStream::fmOpenRead);
    processor->Source = &file;
    processor->Destination = &buffered;
    processor->Encode();
    const int64_t size = buffered.Size();
    std::string encoded(size, '\0');
    buffered.ReadBuffer(encoded.data(), size);
    EXPECT_EQ(encoded, ReferenceMimeLines(data));
}
