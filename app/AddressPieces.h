#pragma once
// The pieces of an address field as the window works with them: completion, the confirmation
// before sending and the list of recent recipients all split a field here, and only here.
#include <string>
#include <vector>

struct TAddressPiece {
    std::string Text;     // the piece as typed, without blanks at its ends (UTF-8)
    std::string Address;  // the mail address in it
};

// The field's mailboxes as the send reads them, in order; an empty field has none.
std::vector<TAddressPiece> AddressPieces(const std::string& fieldUtf8);
