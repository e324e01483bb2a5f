#include "smtp/ZelUUE.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <vector>

namespace {

// The source is read in whole multiples of a line, so that short reads in the middle of a
// stream cannot produce short (and, in base64, padded) lines before its end.
constexpr size_t ChunkLines = 728;
constexpr size_t MaxLineBytes = 63;

const char MimeAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// Value 0 is the grave accent so that no line holds a blank.
std::string CodeAlphabet() {
    std::string alphabet(1, '`');
    for (char c = '!'; c <= '_'; ++c)
        alphabet += c;
    return alphabet;
}

// Every 12-bit value as its two output characters, so that three input bytes take two look-ups
// and no branches.
using PairTable = std::array<uint16_t, 4096>;

PairTable MakePairTable(const std::string& alphabet) {
    PairTable pairs;
    for (size_t v = 0; v < pairs.size(); ++v) {
        const char two[2] = {alphabet[v >> 6], alphabet[v & 63]};
        std::memcpy(&pairs[v], two, 2);
    }
    return pairs;
}

// Bytes the whole-line encoder may read beyond a line.
constexpr size_t ReadSlack = 8;

uint64_t BigEndianAt(const unsigned char* in) {
    uint64_t word;
    std::memcpy(&word, in, 8);
    return std::endian::native == std::endian::little ? __builtin_bswap64(word) : word;
}

// The two characters of each 12-bit field of word at the given shifts, first in memory first.
template <int... Shifts>
uint64_t Characters(const PairTable& pairs, uint64_t word) {
    uint64_t chars = 0;
    int at = 0;
    ((chars |= uint64_t{pairs[(word >> Shifts) & 0xFFF]} << (16 * at++)), ...);
    return chars;
}

// A whole line of lineBytes bytes (6n + 3), then CR LF. Six bytes at a time become eight
// characters with one load and one store; reads up to ReadSlack bytes past the line. Needs a
// little-endian machine (the characters are stored as one word).
char* EncodeWholeLine(const PairTable& pairs, const unsigned char* in, size_t lineBytes,
                      char* out) {
    const size_t six = lineBytes - 3;
    for (size_t i = 0; i < six; i += 6, out += 8) {
        const uint64_t chars = Characters<52, 40, 28, 16>(pairs, BigEndianAt(in + i));
        std::memcpy(out, &chars, 8);
    }
    const uint64_t last = Characters<52, 40>(pairs, BigEndianAt(in + six));
    std::memcpy(out, &last, 4);
    std::memcpy(out + 4, "\r\n", 2);
    return out + 6;
}

// Reads until count bytes are in or the source has no more.
size_t ReadFull(TStream& source, unsigned char* buffer, size_t count) {
    size_t got = 0;
    while (got < count) {
        const int64_t n = source.Read(buffer + got, static_cast<int64_t>(count - got));
        if (n <= 0)
            break;
        got += static_cast<size_t>(n);
    }
    return got;
}

}  // namespace

TZelUUProcessor::TZelUUProcessor(QObject* AOwner) : QObject(AOwner) {}

void TZelUUProcessor::Encode() {
    if (!Source || !Destination)
        throw Exception("Encode needs a Source and a Destination");
    if (LineBytes < 3 || LineBytes > static_cast<int>(MaxLineBytes) || LineBytes % 3 != 0)
        throw Exception("LineBytes must be a multiple of 3 from 3 to 63");
    Source->SetPosition(0);
    Fire(OnBeginEncode, this);
    try {
        Alphabet = Method == uuCode ? CodeAlphabet() : std::string(MimeAlphabet);
        EncodeLines();
    } catch (...) {
        EndAfterFailure();
        throw;
    }
    Destination->SetPosition(0);
    Fire(OnEndEncode, this);
}

// The failure that is propagating matters more than one in this clean-up.
void TZelUUProcessor::EndAfterFailure() noexcept {
    try {
        Destination->SetPosition(0);
    } catch (...) {
    }
    try {
        Fire(OnEndEncode, this);
    } catch (...) {
    }
}

void TZelUUProcessor::EncodeLines() {
    const auto lineBytes = static_cast<size_t>(LineBytes);
    const size_t chunkBytes = lineBytes * ChunkLines;
    const PairTable pairs = MakePairTable(Alphabet);
    const char lengthOfWholeLine = Alphabet[lineBytes];
    // Elsewhere, and for lines of an odd number of triples, every line goes the byte-at-a-time
    // way.
    const bool whole = std::endian::native == std::endian::little && lineBytes % 6 == 3;
    std::vector<unsigned char> in(chunkBytes + ReadSlack);
    std::vector<char> out(ChunkLines * (1 + lineBytes / 3 * 4 + 2));
    for (;;) {
        const size_t n = ReadFull(*Source, in.data(), chunkBytes);
        char* end = out.data();
        size_t at = 0;
        for (; whole && at + lineBytes <= n; at += lineBytes) {
            if (Method == uuCode)
                *end++ = lengthOfWholeLine;
            end = EncodeWholeLine(pairs, in.data() + at, lineBytes, end);
        }
        for (; at < n; at += lineBytes)
            end += EncodeLine(in.data() + at, std::min(lineBytes, n - at), end);
        Destination->WriteBuffer(out.data(), end - out.data());
        if (n < chunkBytes)
            break;
    }
    if (Method == uuCode)
        Destination->WriteBuffer("`\r\n", 3);
}

size_t TZelUUProcessor::EncodeLine(const unsigned char* in, size_t n, char* out) const {
    const char* a = Alphabet.data();
    char* p = out;
    if (Method == uuCode)
        *p++ = a[n % 64];
    size_t i = 0;
    for (; i + 3 <= n; i += 3) {
        const unsigned b1 = in[i], b2 = in[i + 1], b3 = in[i + 2];
        *p++ = a[b1 >> 2];
        *p++ = a[((b1 & 3) << 4) | (b2 >> 4)];
        *p++ = a[((b2 & 15) << 2) | (b3 >> 6)];
        *p++ = a[b3 & 63];
    }
    if (n - i == 1) {
        const unsigned b1 = in[i];
        *p++ = a[b1 >> 2];
        *p++ = a[(b1 & 3) << 4];
        if (Method == uuMime)
            p = std::copy_n("==", 2, p);
    } else if (n - i == 2) {
        const unsigned b1 = in[i], b2 = in[i + 1];
        *p++ = a[b1 >> 2];
        *p++ = a[((b1 & 3) << 4) | (b2 >> 4)];
        *p++ = a[(b2 & 15) << 2];
        if (Method == uuMime)
            *p++ = '=';
    }
    *p++ = '\r';
    *p++ = '\n';
    return p - out;
}
