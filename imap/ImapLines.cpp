#include "imap/ImapLines.h"

#include <algorithm>
#include <cstdint>

#include "platform/ScreenText.h"

namespace {

std::string Upper(std::string_view Text) {
    std::string upper(Text);
    std::transform(upper.begin(), upper.end(), upper.begin(),
                   [](unsigned char c) { return c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c; });
    return upper;
}

std::string_view WithoutLineEnd(std::string_view Line) {
    while (!Line.empty() && (Line.back() == '\n' || Line.back() == '\r'))
        Line.remove_suffix(1);
    return Line;
}

std::vector<std::string> Words(std::string_view Text) {
    std::vector<std::string> words;
    size_t at = 0;
    while (at < Text.size()) {
        const size_t end = std::min(Text.find(' ', at), Text.size());
        if (end > at)
            words.emplace_back(Text.substr(at, end - at));
        at = end + 1;
    }
    return words;
}

// Reads the tokens of a LIST response one after the other.
class TListReader {
  public:
    explicit TListReader(std::string_view Text) : text_(Text) {}

    void Expect(char c) {
        if (at_ >= text_.size() || text_[at_] != c)
            Fail();
        ++at_;
    }

    std::set<std::string> Attributes() {
        Expect('(');
        const size_t close = text_.find(')', at_);
        if (close == std::string_view::npos)
            Fail();
        std::set<std::string> attributes;
        for (const std::string& word : Words(text_.substr(at_, close - at_)))
            attributes.insert(Upper(word));
        at_ = close + 1;
        return attributes;
    }

    // An astring or NIL; a NIL delimiter reads as "NIL", which no caller needs to tell apart.
    std::string String() {
        if (at_ >= text_.size())
            Fail();
        if (text_[at_] == '"')
            return Quoted();
        if (text_[at_] == '{')
            return Literal();
        const size_t end = std::min(text_.find_first_of(" \r\n", at_), text_.size());
        if (end == at_)
            Fail();
        std::string atom(text_.substr(at_, end - at_));
        at_ = end;
        return atom;
    }

  private:
    std::string Quoted() {
        std::string value;
        for (++at_; at_ < text_.size(); ++at_) {
            char c = text_[at_];
            if (c == '"') {
                ++at_;
                return value;
            }
            if (c == '\\' && ++at_ < text_.size())
                c = text_[at_];
            value += c;
        }
        Fail();
    }

    std::string Literal() {
        const size_t lineEnd = text_.find('\n', at_);
        const std::optional<size_t> size = lineEnd == std::string_view::npos
                                               ? std::nullopt
                                               : AnnouncedLiteral(text_.substr(at_, lineEnd - at_));
        if (!size || text_.size() - (lineEnd + 1) < *size)
            Fail();
        at_ = lineEnd + 1 + *size;
        return std::string(text_.substr(lineEnd + 1, *size));
    }

    [[noreturn]] void Fail() const {
        throw EImapProtocolError("Unreadable LIST response: " +
                                 platform::ServerText(WithoutLineEnd(text_.substr(0, 200))));
    }

    std::string_view text_;
    size_t at_ = 0;
};

bool Utf8Continuation(unsigned char c) {
    return (c & 0xC0) == 0x80;
}

// The code points of Utf8; raises Exception for bytes that are no UTF-8.
std::vector<char32_t> CodePoints(std::string_view Utf8) {
    std::vector<char32_t> points;
    for (size_t i = 0; i < Utf8.size();) {
        const auto lead = static_cast<unsigned char>(Utf8[i]);
        const int extra = lead < 0x80    ? 0
                          : lead >= 0xF0 ? 3
                          : lead >= 0xE0 ? 2
                          : lead >= 0xC2 ? 1
                                         : -1;
        if (extra < 0 || lead > 0xF4 || i + extra >= Utf8.size())
            throw Exception("The mailbox name is no UTF-8 text");
        char32_t point = extra == 0 ? lead : lead & (0x3F >> extra);
        for (int k = 1; k <= extra; ++k) {
            const auto next = static_cast<unsigned char>(Utf8[i + k]);
            if (!Utf8Continuation(next))
                throw Exception("The mailbox name is no UTF-8 text");
            point = (point << 6) | (next & 0x3F);
        }
        static constexpr char32_t kLeast[] = {0, 0x80, 0x800, 0x10000};
        if (point < kLeast[extra] || point > 0x10FFFF || (point >= 0xD800 && point <= 0xDFFF))
            throw Exception("The mailbox name is no UTF-8 text");
        points.push_back(point);
        i += static_cast<size_t>(extra) + 1;
    }
    return points;
}

// Base64 of the UTF-16 form of Points, with "," for "/" and without padding.
std::string ModifiedBase64(const std::vector<char32_t>& Points) {
    static constexpr char kDigits[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+,";
    std::string bytes;
    for (char32_t point : Points) {
        std::vector<uint16_t> units;
        if (point >= 0x10000) {
            units = {static_cast<uint16_t>(0xD800 + ((point - 0x10000) >> 10)),
                     static_cast<uint16_t>(0xDC00 + ((point - 0x10000) & 0x3FF))};
        } else {
            units = {static_cast<uint16_t>(point)};
        }
        for (uint16_t unit : units) {
            bytes += static_cast<char>(unit >> 8);
            bytes += static_cast<char>(unit & 0xFF);
        }
    }
    std::string out;
    uint32_t bits = 0;
    int count = 0;
    for (unsigned char byte : bytes) {
        bits = (bits << 8) | byte;
        for (count += 8; count >= 6; count -= 6)
            out += kDigits[(bits >> (count - 6)) & 0x3F];
    }
    if (count > 0)
        out += kDigits[(bits << (6 - count)) & 0x3F];
    return out;
}

}  // namespace

TImapStatus ParseStatusLine(std::string_view Line) {
    const std::vector<std::string> words = Words(WithoutLineEnd(Line).substr(0, 64));
    TImapStatus status;
    if (words.size() < 2)
        return status;
    const std::string word = Upper(words[1]);
    if (word != "OK" && word != "NO" && word != "BAD")
        return status;
    status.Tag = words[0];
    status.Status = word;
    const std::string_view line = WithoutLineEnd(Line);
    const size_t text = line.find(words[1], words[0].size()) + words[1].size();
    status.Text = std::string(line.substr(std::min(text + 1, line.size())));
    return status;
}

std::optional<size_t> AnnouncedLiteral(std::string_view Line) {
    Line = WithoutLineEnd(Line);
    if (Line.empty() || Line.back() != '}')
        return std::nullopt;
    const size_t open = Line.rfind('{');
    if (open == std::string_view::npos)
        return std::nullopt;
    std::string_view digits = Line.substr(open + 1, Line.size() - open - 2);
    if (!digits.empty() && digits.back() == '+')
        digits.remove_suffix(1);
    if (digits.empty() || digits.find_first_not_of("0123456789") != std::string_view::npos)
        return std::nullopt;
    // Ten digits already pass any bound a response may have.
    if (digits.size() > 10)
        throw EImapProtocolError("The server announced a literal of " + std::string(digits) +
                                 " bytes");
    return static_cast<size_t>(std::stoull(std::string(digits)));
}

std::set<std::string> ParseCapabilities(std::string_view Line) {
    Line = WithoutLineEnd(Line);
    const std::string upper = Upper(Line);
    std::string_view list;
    if (upper.starts_with("* CAPABILITY ")) {
        list = Line.substr(13);
    } else if (const size_t code = upper.find("[CAPABILITY "); code != std::string::npos) {
        const size_t close = upper.find(']', code);
        if (close == std::string::npos)
            return {};
        list = Line.substr(code + 12, close - code - 12);
    }
    std::set<std::string> capabilities;
    for (const std::string& word : Words(list))
        capabilities.insert(Upper(word));
    return capabilities;
}

std::optional<TImapMailbox> ParseListResponse(std::string_view Response) {
    if (!Upper(Response.substr(0, 7)).starts_with("* LIST "))
        return std::nullopt;
    TListReader reader(Response.substr(7));
    TImapMailbox mailbox;
    mailbox.Attributes = reader.Attributes();
    reader.Expect(' ');
    reader.String();
    reader.Expect(' ');
    mailbox.Name = reader.String();
    return mailbox;
}

std::string SentMailbox(const std::vector<TImapMailbox>& Mailboxes) {
    for (const TImapMailbox& mailbox : Mailboxes) {
        if (mailbox.Attributes.contains("\\SENT") && !mailbox.Attributes.contains("\\NOSELECT") &&
            !mailbox.Attributes.contains("\\NONEXISTENT")) {
            return mailbox.Name;
        }
    }
    return "";
}

std::string ImapQuoted(std::string_view Text) {
    std::string quoted = "\"";
    for (char c : Text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte == '\r' || byte == '\n' || byte == '\0' || byte >= 0x80)
            throw Exception("A quoted string cannot carry byte " + std::to_string(byte));
        if (c == '"' || c == '\\')
            quoted += '\\';
        quoted += c;
    }
    return quoted + "\"";
}

std::string ImapMailboxName(std::string_view Utf8) {
    const std::vector<char32_t> points = CodePoints(Utf8);
    std::string name;
    std::vector<char32_t> wide;
    const auto flush = [&] {
        if (!wide.empty())
            name += "&" + ModifiedBase64(wide) + "-";
        wide.clear();
    };
    for (char32_t point : points) {
        if (point < 0x20 || point == 0x7F)
            throw Exception("The mailbox name holds a control character");
        if (point >= 0x80) {
            wide.push_back(point);
            continue;
        }
        flush();
        name += point == '&' ? std::string("&-") : std::string(1, static_cast<char>(point));
    }
    flush();
    return name;
}
