#include "app/AddressPieces.h"

#include "smtp/Zelsmtp.h"

namespace {

// A field without a separator comes back from the split as typed, blanks and all.
std::string Trimmed(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

}  // namespace

std::vector<TAddressPiece> AddressPieces(const std::string& fieldUtf8) {
    std::vector<TAddressPiece> pieces;
    for (const std::string& split : TZelSMTP::SplitRecipients(fieldUtf8, true)) {
        const std::string piece = Trimmed(split);
        if (!piece.empty())
            pieces.push_back({piece, Trimmed(TZelSMTP::ExtractAddress(piece))});
    }
    return pieces;
}
