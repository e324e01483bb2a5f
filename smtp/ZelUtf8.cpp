#include "smtp/ZelUtf8.h"

#include <QString>
#include <QTextBoundaryFinder>
#include <algorithm>

#include "jconvert/jconvert.h"

namespace {

constexpr size_t kBase64Line = 76;
// Words of at most 66 characters fit beside "Subject: " or "X-Mailer: " within 78. Of them,
// "=?UTF-8?B?" and "?=" leave 54 for base64: 13 groups of 4, 39 bytes of UTF-8.
constexpr size_t kWordLength = 66;
constexpr size_t kWordBytes = 39;
// Enough text to find the end of any cluster a word can hold.
constexpr size_t kLookAhead = 4 * kWordBytes;

// Bytes of the UTF-8 sequence that starts with lead; 1 for a byte that starts none.
size_t SequenceLength(unsigned char lead) {
    return lead >= 0xF0 && lead < 0xF8 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
}

size_t CodePointLength(std::string_view text, size_t at) {
    return std::min(SequenceLength(static_cast<unsigned char>(text[at])), text.size() - at);
}

size_t GraphemeLength(std::string_view text, size_t at) {
    const std::string_view rest = text.substr(at, kLookAhead);
    const QString unicode = QString::fromUtf8(rest.data(), static_cast<qsizetype>(rest.size()));
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, unicode);
    const qsizetype end = finder.toNextBoundary();
    const std::string cluster = end > 0 ? unicode.left(end).toStdString() : std::string();
    const size_t codePoint = CodePointLength(text, at);
    // A cluster that fits no word, or bytes that are no UTF-8, go a code point at a time.
    if (cluster.empty() || cluster.size() > kWordBytes || !text.substr(at).starts_with(cluster))
        return codePoint;
    return cluster.size();
}

std::string AsTheyAre(std::string_view characters) {
    return std::string(characters);
}

}  // namespace

const TWordCharset Utf8Words = {"UTF-8", GraphemeLength, CodePointLength, AsTheyAre,
                             kWordLength};

std::vector<std::string> Base64Lines(std::string_view bytes) {
    const std::string encoded = Base64Encode(bytes);
    std::vector<std::string> lines;
    for (size_t at = 0; at < encoded.size(); at += kBase64Line)
        lines.push_back(encoded.substr(at, kBase64Line));
    return lines;
}
