#include "smtp/AddressList.h"

#include <algorithm>

namespace {

constexpr size_t npos = std::string_view::npos;

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view Trim(std::string_view text) {
    const size_t first = text.find_first_not_of(" \t");
    if (first == npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

bool HasEightBit(std::string_view text) {
    return std::any_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
}

// Steps through a text a code point at a time and finds where its bracketed parts end.
class TScanner {
  public:
    TScanner(std::string_view text, const TWordCharset& charset) : text_(text), charset_(charset) {}

    size_t Next(size_t at) const {
        return std::min(text_.size(), at + std::max<size_t>(1, charset_.CodePointLength(text_, at)));
    }

    // Past the quote that closes the quoted string opening at open; npos when none does.
    size_t QuotedEnd(size_t open) const {
        for (size_t i = Next(open); i < text_.size(); i = Next(i)) {
            if (text_[i] == '"')
                return i + 1;
            if (text_[i] == '\\' && (i = Next(i)) >= text_.size())
                break;
        }
        return npos;
    }

    // Past the ")" that closes the comment opening at open (comments nest); npos when none does.
    size_t CommentEnd(size_t open) const {
        int depth = 0;
        for (size_t i = open; i < text_.size(); i = Next(i)) {
            if (text_[i] == '\\') {
                if ((i = Next(i)) >= text_.size())
                    break;
            } else if (text_[i] == '(') {
                ++depth;
            } else if (text_[i] == ')' && --depth == 0) {
                return i + 1;
            }
        }
        return npos;
    }

    // Past the ">" that closes the angle address opening at open; quotes inside are honoured.
    size_t AngleEnd(size_t open) const {
        for (size_t i = open + 1; i < text_.size();) {
            if (text_[i] == '>')
                return i + 1;
            if (text_[i] == '"') {
                i = QuotedEnd(i);
                if (i == npos)
                    break;
            } else {
                i = Next(i);
            }
        }
        return npos;
    }

    // Past the bracketed part opening at at, or npos when it is not closed; Next for any other.
    size_t Skip(size_t at) const {
        switch (text_[at]) {
            case '"':
                return QuotedEnd(at);
            case '(':
                return CommentEnd(at);
            case '<':
                return AngleEnd(at);
            default:
                return Next(at);
        }
    }

    // The text of a quoted string or comment without its brackets, escapes undone.
    std::string Inner(size_t open, size_t end) const {
        std::string inner;
        for (size_t i = Next(open); i + 1 < end;) {
            if (text_[i] == '\\')
                i = Next(i);
            const size_t next = Next(i);
            inner.append(text_.substr(i, next - i));
            i = next;
        }
        return inner;
    }

  private:
    std::string_view text_;
    const TWordCharset& charset_;
};

// The pieces between the separators that stand outside quotes, comments and angle brackets. An
// unclosed one takes the rest of the field into its piece, which then cannot be read.
std::vector<std::string_view> Pieces(std::string_view field, const TWordCharset& charset) {
    const TScanner scan(field, charset);
    std::vector<std::string_view> pieces;
    size_t start = 0;
    for (size_t i = 0; i < field.size();) {
        if (field[i] == ',' || field[i] == ';') {
            pieces.push_back(field.substr(start, i - start));
            start = ++i;
            continue;
        }
        i = scan.Skip(i);
        if (i == npos)
            break;
    }
    pieces.push_back(field.substr(start));
    return pieces;
}

// Where a group's label ends: past the first ":" outside quotes, comments and angle brackets
// when it stands before any "<" or "@"; 0 when the piece has no label.
size_t LabelEnd(std::string_view piece, const TScanner& scan) {
    for (size_t i = 0; i < piece.size(); i = scan.Skip(i)) {
        if (piece[i] == ':')
            return i + 1;
        if (piece[i] == '<' || piece[i] == '@')
            return 0;
    }
    return 0;
}

// One mailbox from one non-empty piece, or EAddressSyntaxError.
TMailbox ReadMailbox(std::string_view piece, const TWordCharset& charset) {
    const TScanner scan(piece, charset);
    const auto refuse = [piece]() { return EAddressSyntaxError(std::string(piece)); };
    TMailbox box{"", "", std::string(piece), false};
    std::string words;       // the piece without its comments and the angle address
    std::string comment;     // the first comment
    int runs = 0;            // stretches of words between blanks and comments
    bool gap = true;
    bool angled = false;
    for (size_t i = LabelEnd(piece, scan); i < piece.size();) {
        const char c = piece[i];
        if (c == '>' || c == ')')
            throw refuse();
        const size_t end = scan.Skip(i);
        if (end == npos)
            throw refuse();
        if (c == '(') {
            if (comment.empty())
                comment = std::string(Trim(scan.Inner(i, end)));
            gap = true;
        } else if (c == '<') {
            if (angled)
                throw refuse();
            angled = true;
            box.Address = std::string(Trim(piece.substr(i + 1, end - i - 2)));
            gap = true;
        } else if (IsBlank(c)) {
            words += c;
            gap = true;
        } else {
            // Nothing but blanks and comments may follow the angle address.
            if (angled)
                throw refuse();
            runs += gap ? 1 : 0;
            gap = false;
            words.append(piece.substr(i, end - i));
        }
        i = end;
    }
    box.Angled = angled;
    if (angled) {
        box.Name = std::string(Trim(words));
        return box;
    }
    // A bare address is one stretch of words: "a@x.jp", "\"hanako yamada\"@x.jp".
    if (runs != 1)
        throw refuse();
    box.Address = std::string(Trim(words));
    box.Name = comment;
    return box;
}

}  // namespace

EAddressSyntaxError::EAddressSyntaxError(std::string piece)
    : Exception("Address not understood: " + piece), Piece(std::move(piece)) {}

std::vector<TMailbox> ParseAddressList(std::string_view field, const TWordCharset& charset) {
    std::vector<TMailbox> mailboxes;
    for (const std::string_view piece : Pieces(field, charset)) {
        const std::string_view trimmed = Trim(piece);
        if (trimmed.empty())
            continue;
        const TScanner scan(trimmed, charset);
        // A group's label alone ("undisclosed-recipients:") names nobody.
        const size_t label = LabelEnd(trimmed, scan);
        if (label > 0 && Trim(trimmed.substr(label)).empty())
            continue;
        mailboxes.push_back(ReadMailbox(trimmed, charset));
    }
    return mailboxes;
}

std::string AddressListHeader(std::string_view field, const std::vector<TMailbox>& mailboxes,
                              const TWordCharset& charset) {
    if (!HasEightBit(field) && field.find(';') == npos)
        return std::string(field);
    std::string value;
    for (const TMailbox& box : mailboxes) {
        if (!value.empty())
            value += ", ";
        const std::string phrase = EncodePhrase(box.Name, charset);
        if (!phrase.empty())
            value += phrase + " <" + box.Address + ">";
        else
            value += box.Angled ? "<" + box.Address + ">" : box.Address;
    }
    return value;
}
