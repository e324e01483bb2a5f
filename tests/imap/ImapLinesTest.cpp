// What the IMAP client reads from a server's lines and writes into its commands.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "imap/ImapLines.h"

namespace {

TEST(ImapLinesTest, StatusLines) {
    const struct {
        const char* line;
        const char* tag;
        const char* status;
        const char* text;
    } cases[] = {
        {"A1 OK done\r\n", "A1", "OK", "done"},
        {"A2 no [TRYCREATE] Mailbox doesn't exist: Sent\r\n", "A2", "NO",
         "[TRYCREATE] Mailbox doesn't exist: Sent"},
        {"A3 BAD\r\n", "A3", "BAD", ""},
        {"* OK still untagged", "*", "OK", "still untagged"},
        {"A4 FINE thanks\r\n", "", "", ""},  // no status word: no status line
        {"A5\r\n", "", "", ""},
        {"", "", "", ""},
    };
    for (const auto& c : cases) {
        const TImapStatus status = ParseStatusLine(c.line);
        EXPECT_EQ(status.Tag, c.tag) << c.line;
        EXPECT_EQ(status.Status, c.status) << c.line;
        EXPECT_EQ(status.Text, c.text) << c.line;
    }
}

TEST(ImapLinesTest, AnnouncedLiterals) {
    const struct {
        const char* line;
        std::optional<size_t> size;
    } cases[] = {
        {"* LIST () \"/\" {4}\r\n", 4},
        {"A1 APPEND Sent {12+}", 12},
        {"* 1 FETCH (BODY[] {0})\r\n", std::nullopt},  // a brace inside the line ends nothing
        {"* OK {}\r\n", std::nullopt},
        {"* OK {1a}\r\n", std::nullopt},
        {"* OK text}\r\n", std::nullopt},
        {"* OK {9999999999}\r\n", 9999999999u},
    };
    for (const auto& c : cases)
        EXPECT_EQ(AnnouncedLiteral(c.line), c.size) << c.line;
    // Past any bound: refused rather than wrapped into a small size.
    EXPECT_THROW(AnnouncedLiteral("* OK {18446744073709551617}\r\n"), EImapProtocolError);
}

TEST(ImapLinesTest, Capabilities) {
    const struct {
        const char* line;
        std::set<std::string> named;
    } cases[] = {
        {"* CAPABILITY IMAP4rev1 starttls AUTH=PLAIN\r\n", {"IMAP4REV1", "STARTTLS", "AUTH=PLAIN"}},
        {"* OK [CAPABILITY IMAP4rev1 SASL-IR AUTH=LOGIN] ready\r\n",
         {"IMAP4REV1", "SASL-IR", "AUTH=LOGIN"}},
        {"A3 OK [CAPABILITY IMAP4rev1 SPECIAL-USE] Logged in", {"IMAP4REV1", "SPECIAL-USE"}},
        {"* OK [CAPABILITY IMAP4rev1 unterminated\r\n", {}},
        {"* OK ready\r\n", {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ParseCapabilities(c.line), c.named) << c.line;
}

TEST(ImapLinesTest, ListResponsesAndTheSentMailbox) {
    const struct {
        const char* response;
        const char* name;  // nullptr: no LIST response; "!": unreadable
        bool sent;
    } cases[] = {
        {"* LIST (\\HasNoChildren \\Sent) \".\" Sent\r\n", "Sent", true},
        {"* list (\\sent) \"/\" \"Sent Items\"\r\n", "Sent Items", true},
        {"* LIST (\\Sent) NIL \"a\\\"b\\\\c\"\r\n", "a\"b\\c", true},
        {"* LIST (\\Sent) \"/\" {9}\r\nSent\r\nBox\r\n", "Sent\r\nBox", true},
        {"* LIST (\\Drafts) \"/\" Drafts\r\n", "Drafts", false},
        {"* LSUB (\\Sent) \"/\" Sent\r\n", nullptr, false},
        {"* LIST (\\Sent \"/\" Sent\r\n", "!", false},
        {"* LIST (\\Sent) \"/\" {20}\r\nSent\r\n", "!", false},
        {"* LIST (\\Sent) \"/\" \"Sent\r\n", "!", false},
        {"* LIST (\\Sent) \"/\" \r\n", "!", false},
    };
    for (const auto& c : cases) {
        if (c.name != nullptr && std::string(c.name) == "!") {
            EXPECT_THROW(ParseListResponse(c.response), EImapProtocolError) << c.response;
            continue;
        }
        const std::optional<TImapMailbox> mailbox = ParseListResponse(c.response);
        ASSERT_EQ(mailbox.has_value(), c.name != nullptr) << c.response;
        if (!mailbox)
            continue;
        EXPECT_EQ(mailbox->Name, c.name);
        EXPECT_EQ(SentMailbox({*mailbox}), c.sent ? c.name : "") << c.response;
    }
    // A \Sent mailbox that cannot hold messages is passed over for the next one.
    EXPECT_EQ(SentMailbox({{{"\\SENT", "\\NOSELECT"}, "Old"}, {{"\\SENT"}, "New"}}), "New");
}

TEST(ImapLinesTest, QuotedStringsAndMailboxNames) {
    EXPECT_EQ(ImapQuoted("Sent Items"), "\"Sent Items\"");
    EXPECT_EQ(ImapQuoted("a\"b\\c"), "\"a\\\"b\\\\c\"");
    for (const char* bad : {"a\r\nA9 DELETE INBOX", "a\nb", "\xE9"})
        EXPECT_THROW(ImapQuoted(bad), Exception) << bad;

    const struct {
        const char* utf8;
        const char* wire;
    } names[] = {
        {"Sent", "Sent"},
        {"Tom & Jerry", "Tom &- Jerry"},
        {"\xE9\x80\x81\xE4\xBF\xA1\xE6\xB8\x88\xE3\x81\xBF", "&kAFP4W4IMH8-"},  // 送信済み
        {"~peter/mail/\xE5\x8F\xB0\xE5\x8C\x97/\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E",
         "~peter/mail/&U,BTFw-/&ZeVnLIqe-"},
        {"\xF0\x9F\x93\xA8 box", "&2D3c6A- box"},  // outside the basic plane: a surrogate pair
    };
    for (const auto& n : names)
        EXPECT_EQ(ImapMailboxName(n.utf8), n.wire) << n.utf8;
    for (const char* bad : {"Sent\r\n", "\x82\xA0", "\xC0\xAF", "\xED\xA0\x80", "\xE9\x80"})
        EXPECT_THROW(ImapMailboxName(bad), Exception) << bad;
}

}  // namespace
