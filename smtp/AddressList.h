#pragma once
// Address fields read as RFC 5322 address lists: quoted strings with their escapes, comments,
// angle addresses, quoted local parts, group labels, and "," or ";" between mailboxes. Syntax is
// read a code point at a time in the text's own charset, so a Shift_JIS second byte or a
// combining character never hides a quote or a separator. Every consumer of a field (the checks
// before connecting, RCPT in both dialogues, the header lines, the Sent copy, the report of
// refused recipients) takes the mailboxes from here. Pure functions.
#include <string>
#include <string_view>
#include <vector>

#include "jconvert/HeaderWords.h"
#include "platform/Exception.h"

// One mailbox of a field. Texts are in the field's charset.
struct TMailbox {
    std::string Name;     // the display name as typed (quotes kept, comments dropped); else a
                          // comment that stood beside a bare address; may be empty
    std::string Address;  // the address RCPT names and the header shows; may be empty ("<>")
    std::string Piece;    // the piece of the field as typed, without blanks at its ends
    bool Angled = false;  // the address stood between "<" and ">"
};

// A piece of a field that is no mailbox: an unclosed quote, comment or "<", text after the ">",
// two addresses in one piece, words with blanks between them and no "<".
class EAddressSyntaxError : public Exception {
  public:
    explicit EAddressSyntaxError(std::string piece);
    std::string Piece;
};

// The mailboxes of a field in order; empty pieces give none. Raises EAddressSyntaxError for the
// first piece that cannot be read.
std::vector<TMailbox> ParseAddressList(std::string_view field, const TWordCharset& charset);

// The header value of a field that ParseAddressList read as mailboxes. A field without a byte
// above 0x7F and without ";" stays as typed, as readers take it; any other is its mailboxes
// joined with ", ", each display name as a phrase (encoded-words where it needs them) before
// " <address>", a bare address as it is. Nothing 8-bit remains.
std::string AddressListHeader(std::string_view field, const std::vector<TMailbox>& mailboxes,
                              const TWordCharset& charset);
