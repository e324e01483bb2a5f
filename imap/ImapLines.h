#pragma once
// The pure parts of the IMAP client: reading the lines a server answers with and writing the
// arguments of commands. No socket, no state, so they can be fed any bytes.
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Exception.h"

// The server said something the client cannot take (or would not trust).
class EImapProtocolError : public Exception {
    using Exception::Exception;
};

// The line that ends a command: "<tag> OK|NO|BAD <text>".
struct TImapStatus {
    std::string Tag;
    std::string Status;  // upper-cased: "OK", "NO", "BAD"; empty when the line is none
    std::string Text;    // the rest, without the line end
};

// One mailbox of a LIST response.
struct TImapMailbox {
    std::set<std::string> Attributes;  // upper-cased, e.g. "\SENT", "\NOSELECT"
    std::string Name;                  // as the server spells it (modified UTF-7)
};

// Line without its line end, split into tag, status and text.
TImapStatus ParseStatusLine(std::string_view Line);

// The size of the literal that Line (with or without its line end) announces at its end,
// "{N}" or "{N+}"; nullopt when it announces none. Raises EImapProtocolError for a size past
// what any bound could take.
std::optional<size_t> AnnouncedLiteral(std::string_view Line);

// The capabilities a line names: "* CAPABILITY ..." or a "[CAPABILITY ...]" response code in a
// status line; upper-cased. Empty when the line names none.
std::set<std::string> ParseCapabilities(std::string_view Line);

// A "* LIST" response, literals included ("{4}\r\nSent"); nullopt for any other response.
// Raises EImapProtocolError for a LIST response it cannot read.
std::optional<TImapMailbox> ParseListResponse(std::string_view Response);

// The first selectable mailbox marked \Sent; empty when there is none.
std::string SentMailbox(const std::vector<TImapMailbox>& Mailboxes);

// Text as an IMAP quoted string. Raises Exception for a CR, LF, NUL or 8-bit byte, which a
// quoted string cannot carry.
std::string ImapQuoted(std::string_view Text);

// A mailbox name given in UTF-8 as the server spells it: modified UTF-7 ("&" as "&-", other
// characters past ASCII as base64 of UTF-16 between "&" and "-"). Raises Exception for text
// that is no UTF-8 or holds a control character.
std::string ImapMailboxName(std::string_view Utf8);
