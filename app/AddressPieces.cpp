#include "app/AddressPieces.h"

#include "smtp/AddressList.h"
#include "smtp/ZelUtf8.h"

// The send reads the field with the same reader. A field it cannot read as a whole (a quote
// still being typed, say) is read piece by piece between its commas and semicolons, a piece
// the reader refuses standing as typed: the send then refuses it with its own message.
std::vector<TAddressPiece> AddressPieces(const std::string& fieldUtf8) {
    std::vector<TAddressPiece> pieces;
    try {
        for (const TMailbox& mailbox : ParseAddressList(fieldUtf8, Utf8Words))
            pieces.push_back({mailbox.Piece, mailbox.Address});
        return pieces;
    } catch (const EAddressSyntaxError&) {
    }
    pieces.clear();
    size_t start = 0;
    bool quoted = false;  // a quote still open keeps its commas, as the reader would
    for (size_t at = 0; at <= fieldUtf8.size(); ++at) {
        if (at < fieldUtf8.size() && fieldUtf8[at] == '"')
            quoted = !quoted;
        if (at < fieldUtf8.size() && (quoted || (fieldUtf8[at] != ',' && fieldUtf8[at] != ';')))
            continue;
        const std::string piece = fieldUtf8.substr(start, at - start);
        start = at + 1;
        try {
            for (const TMailbox& mailbox : ParseAddressList(piece, Utf8Words))
                pieces.push_back({mailbox.Piece, mailbox.Address});
        } catch (const EAddressSyntaxError& e) {
            pieces.push_back({e.Piece, e.Piece});
        }
    }
    return pieces;
}
