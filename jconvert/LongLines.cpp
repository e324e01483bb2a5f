#include "jconvert/LongLines.h"

#include <algorithm>
#include <utility>

#include "jconvert/jconvert.h"

namespace {

using Byte = unsigned char;

constexpr std::string_view KanjiIn = "\x1B$B";
constexpr std::string_view RomanIn = "\x1B(J";
constexpr std::string_view WordPrefix = "=?ISO-2022-JP?B?";
constexpr std::string_view WordSuffix = "?=";

// One line of a broken body line, written the way SjisToJis writes a line: starting in the
// single-byte set, with an escape at every change of set, and back in it at the end.
class TPiece {
  public:
    bool Empty() const { return text_.empty(); }

    // Bytes on the wire once character c of the given set is added and the line closed, with
    // the extra "." of the dot rule.
    size_t CostWith(std::string_view c, bool kanji) const {
        const bool dot = text_.empty() ? !kanji && c.starts_with('.') : text_.front() == '.';
        return text_.size() + (kanji != kanji_ ? KanjiIn.size() : 0) + c.size() +
               (kanji ? RomanIn.size() : 0) + (dot ? 1 : 0);
    }
    void Add(std::string_view c, bool kanji) {
        if (kanji != kanji_)
            text_ += kanji ? KanjiIn : RomanIn;
        kanji_ = kanji;
        text_ += c;
    }
    std::string Close() {
        if (kanji_)
            text_ += RomanIn;
        kanji_ = false;
        return std::exchange(text_, std::string());
    }

  private:
    std::string text_;
    bool kanji_ = false;
};

size_t OnWire(std::string_view line) {
    return line.size() + (line.starts_with('.') ? 1 : 0);
}

bool IsDesignation(std::string_view line, size_t i) {
    return line[i] == '\x1B' && i + 2 < line.size() && (line[i + 1] == '$' || line[i + 1] == '(');
}

// Bytes of the character at text[i] as SjisToJis reads it; a half-width katakana keeps a
// following mark, which it may absorb.
size_t CharLength(std::string_view text, size_t i) {
    const Byte b = static_cast<Byte>(text[i]);
    size_t n = b >= 0x80 ? 2 : 1;
    if (b >= 0xA1 && b <= 0xDF) {
        const Byte mark = i + 1 < text.size() ? static_cast<Byte>(text[i + 1]) : 0;
        n = mark == 0xDE || mark == 0xDF ? 2 : 1;
    }
    return std::min(n, text.size() - i);
}

}  // namespace

std::vector<std::string> BreakJisLine(std::string_view line) {
    if (OnWire(line) <= kMaxMailLine)
        return {std::string(line)};
    std::vector<std::string> lines;
    TPiece piece;
    bool kanji = false;
    size_t i = 0;
    while (i < line.size()) {
        if (IsDesignation(line, i)) {
            kanji = line[i + 1] == '$';
            i += 3;
            continue;
        }
        const std::string_view c = line.substr(i, kanji ? 2 : 1);
        if (!piece.Empty() && piece.CostWith(c, kanji) > kMaxMailLine)
            lines.push_back(piece.Close());
        piece.Add(c, kanji);
        i += c.size();
    }
    // A line of escapes alone still stays a line.
    if (!piece.Empty() || lines.empty())
        lines.push_back(piece.Close());
    return lines;
}

std::vector<std::string> EncodeMimeWords(std::string_view text) {
    // Bytes of ISO-2022-JP whose base64 fits in a word.
    constexpr size_t room = (kMaxEncodedWord - WordPrefix.size() - WordSuffix.size()) / 4 * 3;
    std::vector<std::string> words;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = start + CharLength(text, start);
        while (end < text.size()) {
            const size_t next = end + CharLength(text, end);
            if (SjisToJis(text.substr(start, next - start)).size() > room)
                break;
            end = next;
        }
        const std::string jis = SjisToJis(text.substr(start, end - start));
        // A lead byte cut off at the end converts to nothing and gives no word.
        if (!jis.empty())
            words.push_back(std::string(WordPrefix) + Base64Encode(jis) + std::string(WordSuffix));
        start = end;
    }
    return words;
}

std::string EncodeMimeHeaderValue(std::string_view text, size_t lineBytes) {
    std::string value = EncodeMimeHeader(text);
    if (lineBytes + value.size() <= kMaxMailLine)
        return value;
    value.clear();
    for (const std::string& word : EncodeMimeWords(text)) {
        if (!value.empty())
            value += ' ';
        value += word;
    }
    return value;
}
