// SjisToJis throughput against glibc iconv in this process and nkf as a process. SjisToJis
// is timed twice: writing into fresh memory (every large allocation is a new mapping, so the
// first touch of each page is paid), and into warm memory (malloc keeps freed memory in its
// heap, so the next result lands on pages touched before).
#include <iconv.h>
#include <malloc.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <memory>
#include <string>

#include "bench/BenchTiming.h"
#include "jconvert/jconvert.h"

namespace {

constexpr size_t TextBytes = 64u << 20;

// Mail-like Shift_JIS: kanji, hiragana, katakana, ASCII words, half-width katakana, line breaks.
std::string MakeText() {
    std::string text;
    text.reserve(TextBytes + 16);
    uint32_t seed = 12345;
    auto next = [&] { return seed = seed * 1664525u + 1013904223u, seed >> 8; };
    size_t lineStart = 0;
    while (text.size() < TextBytes) {
        const uint32_t kind = next() % 100;
        if (kind < 35) {
            text += static_cast<char>(0x89 + next() % 15);  // level-1 kanji rows
            text += static_cast<char>(0x9F + next() % 94);
        } else if (kind < 60) {
            text += '\x82';
            text += static_cast<char>(0x9F + next() % 83);  // hiragana
        } else if (kind < 70) {
            text += '\x83';
            text += static_cast<char>(0x40 + next() % 63);  // katakana
        } else if (kind < 93) {
            text += static_cast<char>(next() % 6 ? 'a' + next() % 26 : ' ');
        } else {
            text += static_cast<char>(0xA1 + next() % 63);  // half-width katakana
        }
        if (text.size() - lineStart > 70) {
            text += "\r\n";
            lineStart = text.size();
        }
    }
    return text;
}

// glibc's converter on the same text; transliteration lets it go on where ISO-2022-JP has no
// place for a character (half-width katakana, the code page's own variants). Like SjisToJis it
// writes into fresh memory on every call.
size_t Iconv(const std::string& text) {
    iconv_t cd = iconv_open("ISO-2022-JP//TRANSLIT", "CP932");
    if (cd == reinterpret_cast<iconv_t>(-1))
        std::exit(1);
    const size_t capacity = text.size() * 3;
    std::unique_ptr<char[]> out(new char[capacity]);
    char* in = const_cast<char*>(text.data());
    char* to = out.get();
    size_t inLeft = text.size(), outLeft = capacity;
    iconv(cd, &in, &inLeft, &to, &outLeft);
    iconv(cd, nullptr, nullptr, &to, &outLeft);
    iconv_close(cd);
    if (inLeft != 0)
        std::fprintf(stderr, "iconv stopped with %zu bytes left\n", inLeft);
    return capacity - outLeft;
}

}  // namespace

int main() {
    const std::string text = MakeText();
    const double bytes = static_cast<double>(text.size());
    bench::TempDir dir;
    const std::string path = dir.File("text.sjis");
    std::ofstream(path, std::ios::binary).write(text.data(), text.size());

    std::printf("SjisToJis on %.1f MB of Shift_JIS text (best of 3, CPU time)\n", bytes / 1e6);
    size_t ours = 0, theirs = 0;
    const double fresh = bench::BestSeconds(3, [&] { ours = SjisToJis(text).size(); });
    const double byCharacter = bench::BestSeconds(3, [&] { SjisToJisByCharacter(text).size(); });
    const double iconvTime = bench::BestSeconds(3, [&] { theirs = Iconv(text); });
    const double nkfTime =
        bench::BestSeconds(3, [&] { bench::Shell("nkf -j -S <'" + path + "' >/dev/null"); });
    if (SjisToJis(text) != SjisToJisByCharacter(text)) {
        std::fprintf(stderr, "SjisToJis and SjisToJisByCharacter differ\n");
        return 1;
    }
    // From here on malloc serves everything from its heap and keeps what is freed.
    mallopt(M_MMAP_MAX, 0);
    mallopt(M_TRIM_THRESHOLD, -1);
    SjisToJis(text);
    const double warm = bench::BestSeconds(3, [&] { SjisToJis(text).size(); });
    const double warmByCharacter =
        bench::BestSeconds(3, [&] { SjisToJisByCharacter(text).size(); });

    bench::Report("SjisToJis, fresh memory", bytes, fresh);
    bench::Report("SjisToJis, warm memory", bytes, warm);
    bench::Report("SjisToJisByCharacter, fresh memory", bytes, byCharacter);
    bench::Report("SjisToJisByCharacter, warm memory", bytes, warmByCharacter);
    bench::Report("glibc iconv CP932 -> ISO-2022-JP//TRANSLIT", bytes, iconvTime);
    bench::Report("nkf -j -S (process)", bytes, nkfTime);
    std::printf("  output bytes: SjisToJis %zu, iconv %zu\n", ours, theirs);
    std::printf("  warm SjisToJis: %.0f MB/s (goal >= 600), %.2fx nkf (goal >= 5x)\n",
                bench::MBps(bytes, warm), nkfTime / warm);
    std::printf("  fresh SjisToJis: %.2fx iconv, %.2fx nkf\n", iconvTime / fresh, nkfTime / fresh);
}
