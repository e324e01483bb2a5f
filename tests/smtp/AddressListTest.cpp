// Address fields read as mailboxes, in both charsets a message goes out in: the addresses RCPT
// names and the header value readers see, from one reading.
#include "smtp/AddressList.h"

#include <gtest/gtest.h>

#include <QByteArray>

#include "platform/CodePage.h"
#include "smtp/ZelUtf8.h"

namespace {

using Addresses = std::vector<std::string>;

// One ISO-2022-JP encoded-word of UTF-8 text that code page 932 holds.
std::string W(const std::string& utf8) {
    return EncodeWords(platform::Sjis(utf8), Iso2022JpWords).at(0);
}

Addresses AddressesOf(const std::vector<TMailbox>& mailboxes) {
    Addresses addresses;
    for (const TMailbox& m : mailboxes)
        addresses.push_back(m.Address);
    return addresses;
}

// Each field (UTF-8 in the source) read as Shift_JIS and as UTF-8 text. An empty header means
// the field is refused, naming the piece in `refused`; "-" skips the Shift_JIS reading of text
// that code page 932 cannot hold.
TEST(AddressList, EachPieceIsOneMailboxWhateverItsQuotesAndComments) {
    const struct {
        std::string field;
        Addresses addresses;
        std::string jisHeader;  // the header value of the Shift_JIS reading
        std::string refused = "";
    } cases[] = {
        {"\"山田 太郎\" <a@example.jp>; b@example.jp, \"ｶﾀｶﾅ\" <c@example.jp>",
         {"a@example.jp", "b@example.jp", "c@example.jp"},
         W("山田 太郎") + " <a@example.jp>, b@example.jp, " + W("ｶﾀｶﾅ") + " <c@example.jp>"},
        // The address is the one in angle brackets, never one quoted in the name.
        {"\"Support <support@bank.jp>\" <attacker@evil.jp>",
         {"attacker@evil.jp"},
         "\"Support <support@bank.jp>\" <attacker@evil.jp>"},
        {"\"<<Shop>>\" <a@x.jp>", {"a@x.jp"}, "\"<<Shop>>\" <a@x.jp>"},
        // Comments name nobody; beside a bare address they are its name.
        {"a@x.jp (Re:x)", {"a@x.jp"}, "a@x.jp (Re:x)"},
        {"<a@x.jp> (Yamada,Taro)", {"a@x.jp"}, "<a@x.jp> (Yamada,Taro)"},
        {"a@x.jp(Taro)", {"a@x.jp"}, "a@x.jp(Taro)"},
        {"a@x.jp (営業部)", {"a@x.jp"}, W("営業部") + " <a@x.jp>"},
        {"山田 (部長) <a@x.jp> (本社)", {"a@x.jp"}, W("山田") + " <a@x.jp>"},
        // A quoted comma, semicolon or escaped quote separates nothing.
        {"\"山田, 太郎\" <t@x>; Sales Dept. <s@x>",
         {"t@x", "s@x"},
         W("山田, 太郎") + " <t@x>, \"Sales Dept.\" <s@x>"},
        {"\"x\\\";y\" <a@x>, b@y", {"a@x", "b@y"}, "\"x\\\";y\" <a@x>, b@y"},
        {" ;a@x;; b@y ; ", {"a@x", "b@y"}, "a@x, b@y"},
        {"山田太郎<taro@example.com>, Yamada, Taro <t@x>",
         {"taro@example.com", "Yamada", "t@x"},
         W("山田太郎") + " <taro@example.com>, Yamada, Taro <t@x>"},
        {"\"x;y\" <a@x>; <b@y>", {"a@x", "b@y"}, "\"x;y\" <a@x>, <b@y>"},
        {"a@x, Jiro <b@y>,c@z", {"a@x", "b@y", "c@z"}, "a@x, Jiro <b@y>,c@z"},
        // A second byte that looks like a backslash (表, ソ) escapes nothing.
        {"\"表示\" <a@x>, ソ <b@y>", {"a@x", "b@y"}, W("表示") + " <a@x>, " + W("ソ") + " <b@y>"},
        // A group's label is no address.
        {"label: c@localhost", {"c@localhost"}, "label: c@localhost"},
        {"undisclosed-recipients:;", {}, ""},
        // The quoted local part is the address as typed; the checks refuse its ">" later.
        {"\"子\" <a@x.jp>, \"b,c@evil.jp> NOTIFY=NEVER\"@x.jp",
         {"a@x.jp", "\"b,c@evil.jp> NOTIFY=NEVER\"@x.jp"},
         W("子") + " <a@x.jp>, \"b,c@evil.jp> NOTIFY=NEVER\"@x.jp"},
        // Text only UTF-8 holds: the Prepend mark (U+0600) must not swallow the quote after it.
        {"\u0600\"子\" <a@x.jp>, b@x.jp, \"😀, 1\" <c@x.jp>", {"a@x.jp", "b@x.jp", "c@x.jp"}, "-"},
        {"Name <>", {""}, "Name <>"},
        // Pieces that are no mailbox are refused, named as typed.
        {"\"unclosed <a@x>, b@y", {}, "", "\"unclosed <a@x>, b@y"},
        {"Taro a@x.jp, b@y", {}, "", "Taro a@x.jp"},
        {"<a@x> <b@y>", {}, "", "<a@x> <b@y>"},
        {"<a@x> junk", {}, "", "<a@x> junk"},
        {"a@x (open", {}, "", "a@x (open"},
        {"a@x>", {}, "", "a@x>"},
        {"(only a comment)", {}, "", "(only a comment)"},
    };
    for (const auto& c : cases) {
        for (const bool utf8 : {false, true}) {
            if (!utf8 && c.jisHeader == "-")
                continue;
            const TWordCharset& charset = utf8 ? Utf8Words : Iso2022JpWords;
            const std::string field = utf8 ? c.field : platform::Sjis(c.field);
            const std::string what = c.field + (utf8 ? " (UTF-8)" : " (Shift_JIS)");
            if (!c.refused.empty()) {
                try {
                    ParseAddressList(field, charset);
                    ADD_FAILURE() << what << ": not refused";
                } catch (const EAddressSyntaxError& e) {
                    EXPECT_EQ(e.Piece, utf8 ? c.refused : platform::Sjis(c.refused)) << what;
                }
                continue;
            }
            const std::vector<TMailbox> mailboxes = ParseAddressList(field, charset);
            EXPECT_EQ(AddressesOf(mailboxes), c.addresses) << what;
            const std::string header = AddressListHeader(field, mailboxes, charset);
            if (!utf8) {
                EXPECT_EQ(header, c.jisHeader) << what;
            }
            for (const char ch : header)
                EXPECT_LT(static_cast<unsigned char>(ch), 0x80) << what << ": " << header;
        }
    }
}

}  // namespace
