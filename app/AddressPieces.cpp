#include "app/AddressPieces.h"

#include "smtp/AddressList.h"
#include "smtp/ZelUtf8.h"

// The send reads the field with the same reader; a field it cannot read (a quote still being
// typed, say) is one piece as typed, which the send then refuses with its own message.
std::vector<TAddressPiece> AddressPieces(const std::string& fieldUtf8) {
    std::vector<TAddressPiece> pieces;
    try {
        for (const TMailbox& mailbox : ParseAddressList(fieldUtf8, Utf8Words))
            pieces.push_back({mailbox.Piece, mailbox.Address});
    } catch (const EAddressSyntaxError&) {
        pieces.clear();
        const size_t first = fieldUtf8.find_first_not_of(" \t");
        if (first != std::string::npos) {
            const std::string text =
                fieldUtf8.substr(first, fieldUtf8.find_last_not_of(" \t") - first + 1);
            pieces.push_back({text, text});
        }
    }
    return pieces;
}
