// TZelUUProcessor.Encode (uuMime, file source, buffered stream) against coreutils
// base64 -w 60 on the same file. The encoded text goes into fresh memory (a new memory stream,
// whose pages are touched for the first time), into warm memory (the same stream again, which
// Encode leaves at position 0), and into a stream that drops it, as base64 writes to /dev/null.
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>

#include "bench/BenchTiming.h"
#include "platform/Stream.h"
#include "smtp/ZelS_Stream.h"
#include "smtp/ZelUUE.h"

namespace {

constexpr size_t FileBytes = 64u << 20;
// The line-at-a-time variant is measured on a smaller file: it is that slow.
constexpr size_t SmallFileBytes = 4u << 20;

// The source as a line-at-a-time encoder sees it: 45 bytes per read, and the size asked
// before every line.
class LineAtATimeSource : public TStream {
  public:
    explicit LineAtATimeSource(TStream& file) : file_(file) {}
    int64_t Read(void* buffer, int64_t count) override {
        file_.Size();
        return file_.Read(buffer, std::min<int64_t>(count, 45));
    }
    int64_t Write(const void*, int64_t) override { return 0; }
    int64_t Seek(int64_t offset, int origin) override { return file_.Seek(offset, origin); }

  private:
    TStream& file_;
};

// Takes every write and keeps nothing.
class DiscardStream : public TStream {
  public:
    int64_t Read(void*, int64_t) override { return 0; }
    int64_t Write(const void*, int64_t count) override {
        position_ += count;
        return count;
    }
    int64_t Seek(int64_t offset, int origin) override {
        return position_ = origin == soFromBeginning ? offset : position_ + offset;
    }

  private:
    int64_t position_ = 0;
};

size_t Encode(TStream& source, TStream& destination) {
    TS_BufferStream buffered(destination);
    TZelUUProcessor processor;
    processor.Method = uuMime;
    processor.Source = &source;
    processor.Destination = &buffered;
    processor.Encode();
    return static_cast<size_t>(destination.Size());
}

size_t Encode(TStream& source) {
    TMemoryStream memory;
    return Encode(source, memory);
}

}  // namespace

int main() {
    bench::TempDir dir;
    const std::string path = dir.File("attachment.bin"), small = dir.File("small.bin");
    {
        std::string data(FileBytes, '\0');
        uint64_t seed = 99;
        for (char& c : data)
            c = static_cast<char>((seed = seed * 6364136223846793005u + 1) >> 56);
        std::ofstream(path, std::ios::binary).write(data.data(), data.size());
        std::ofstream(small, std::ios::binary).write(data.data(), SmallFileBytes);
    }
    const double bytes = static_cast<double>(FileBytes);

    std::printf("uuMime encoding of a %.1f MB file (best of 3, CPU time)\n", bytes / 1e6);
    size_t encoded = 0;
    const double fresh = bench::BestSeconds(3, [&] {
        TFileStream file(path, TFileStream::fmOpenRead);
        encoded = Encode(file);
    });
    TMemoryStream reused;
    const double warm = bench::BestSeconds(4, [&] {
        TFileStream file(path, TFileStream::fmOpenRead);
        Encode(file, reused);
    });
    const double discarded = bench::BestSeconds(3, [&] {
        TFileStream file(path, TFileStream::fmOpenRead);
        DiscardStream nowhere;
        Encode(file, nowhere);
    });
    const double lineAtATime = bench::BestSeconds(1, [&] {
        TFileStream file(small, TFileStream::fmOpenRead);
        LineAtATimeSource source(file);
        Encode(source);
    });
    const double base64 =
        bench::BestSeconds(3, [&] { bench::Shell("base64 -w 60 '" + path + "' >/dev/null"); });

    bench::Report("TZelUUProcessor.Encode, fresh memory", bytes, fresh);
    bench::Report("TZelUUProcessor.Encode, warm memory", bytes, warm);
    bench::Report("TZelUUProcessor.Encode, output dropped", bytes, discarded);
    bench::Report("  same, 45-byte reads + size per line (4 MB)", SmallFileBytes, lineAtATime);
    bench::Report("base64 -w 60 (process, to /dev/null)", bytes, base64);
    std::printf("  encoded bytes: %zu (CR LF lines)\n", encoded);
    std::printf(
        "  ratio Encode / base64 -w 60: fresh %.2fx, warm %.2fx, dropped %.2fx (goal >= 2x)\n",
        base64 / fresh, base64 / warm, base64 / discarded);
}
