#include "jconvert/LongLines.h"

#include <utility>

namespace {

constexpr std::string_view KanjiIn = "\x1B$B";
constexpr std::string_view AsciiIn = "\x1B(B";

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
               (kanji ? AsciiIn.size() : 0) + (dot ? 1 : 0);
    }
    void Add(std::string_view c, bool kanji) {
        if (kanji != kanji_)
            text_ += kanji ? KanjiIn : AsciiIn;
        kanji_ = kanji;
        text_ += c;
    }
    std::string Close() {
        if (kanji_)
            text_ += AsciiIn;
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
