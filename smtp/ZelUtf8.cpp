#include "smtp/ZelUtf8.h"

#include <QString>
#include <QTextBoundaryFinder>
#include <algorithm>

#include "jconvert/LongLines.h"
#include "jconvert/jconvert.h"

namespace {

constexpr std::string_view WordPrefix = "=?UTF-8?B?";
constexpr std::string_view WordSuffix = "?=";
constexpr size_t kBase64Line = 76;
// The shortest word that still holds any code point (4 bytes: 8 base64 characters).
constexpr size_t kSmallestWord = WordPrefix.size() + 8 + WordSuffix.size();

// Bytes of UTF-8 whose base64 fits in a word of the given length.
size_t RoomFor(size_t wordLength) {
    return (std::max(wordLength, kSmallestWord) - WordPrefix.size() - WordSuffix.size()) / 4 * 3;
}

// The text cut where a reader's cursor could stand: between grapheme clusters.
std::vector<std::string> Graphemes(std::string_view utf8) {
    const QString text = QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    std::vector<std::string> clusters;
    for (qsizetype start = 0, end; (end = finder.toNextBoundary()) != -1; start = end)
        clusters.push_back(text.mid(start, end - start).toStdString());
    return clusters;
}

// The pieces a word may not cut: whole grapheme clusters, and the code points of a cluster too
// long for any word.
std::vector<std::string> Units(std::string_view utf8) {
    std::vector<std::string> units;
    for (std::string& cluster : Graphemes(utf8)) {
        if (cluster.size() <= RoomFor(kMaxEncodedWord)) {
            units.push_back(std::move(cluster));
            continue;
        }
        for (const char32_t c : QString::fromStdString(cluster).toStdU32String())
            units.push_back(QString::fromUcs4(&c, 1).toStdString());
    }
    return units;
}

std::string Word(std::string_view bytes) {
    return std::string(WordPrefix) + Base64Encode(bytes) + std::string(WordSuffix);
}

bool IsAscii(std::string_view text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

}  // namespace

std::vector<std::string> EncodeUtf8Words(std::string_view utf8, size_t firstWord) {
    std::vector<std::string> words;
    std::string pending;
    size_t room = RoomFor(std::min(firstWord, kMaxEncodedWord));
    for (std::string& unit : Units(utf8)) {
        if (pending.size() + unit.size() > room) {
            if (!pending.empty())
                words.push_back(Word(pending));
            pending.clear();
            room = RoomFor(kMaxEncodedWord);
        }
        pending += unit;
    }
    if (!pending.empty())
        words.push_back(Word(pending));
    return words;
}

std::string EncodeUtf8HeaderValue(std::string_view utf8, size_t lineBytes) {
    if (IsAscii(utf8))
        return std::string(utf8);
    const size_t besideName = lineBytes < kUtf8HeaderWidth ? kUtf8HeaderWidth - lineBytes : 0;
    std::string value;
    for (const std::string& word : EncodeUtf8Words(utf8, besideName)) {
        if (!value.empty())
            value += ' ';
        value += word;
    }
    return value;
}

std::vector<std::string> Base64Lines(std::string_view bytes) {
    const std::string encoded = Base64Encode(bytes);
    std::vector<std::string> lines;
    for (size_t at = 0; at < encoded.size(); at += kBase64Line)
        lines.push_back(encoded.substr(at, kBase64Line));
    return lines;
}
