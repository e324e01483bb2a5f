// TZelUUProcessor.Encode (uuMime, file source, buffered stream into memory) against
// coreutils base64 -w 60 on the same file.
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

size_t Encode(TStream& source) {
    TMemoryStream memory;
    TS_BufferStream buffered(memory);
    TZelUUProcessor processor;
    processor.Method = uuMime;
    processor.Source = &source;
    processor.Destination = &buffered;
    processor.Encode();
    return static_cast<size_t>(memory.Size());
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

    std::printf("uuMime encoding of a %.1f MB file (best of 3)\n", bytes / 1e6);
    size_t encoded = 0;
    const double own = bench::BestSeconds(3, [&] {
        TFileStream file(path, TFileStream::fmOpenRead);
        encoded = Encode(file);
    });
    const double lineAtATime = bench::BestSeconds(1, [&] {
        TFileStream file(small, TFileStream::fmOpenRead);
        LineAtATimeSource source(file);
        Encode(source);
    });
    const double base64 =
        bench::BestSeconds(3, [&] { bench::Shell("base64 -w 60 '" + path + "' >/dev/null"); });

    bench::Report("TZelUUProcessor.Encode", bytes, own);
    bench::Report("  same, 45-byte reads + size per line (4 MB)", SmallFileBytes, lineAtATime);
    bench::Report("base64 -w 60 (process)", bytes, base64);
    std::printf("  encoded bytes: %zu (CR LF lines)\n", encoded);
    std::printf("  ratio Encode / base64 -w 60: %.2fx (goal >= 1x)\n", base64 / own);
}
