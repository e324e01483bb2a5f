// TZelSMTP: the addresses of one recipient entry.
#include <vector>

#include "platform/CodePage.h"
#include "smtp/Zelsmtp.h"

namespace {

// A semicolon never stands unquoted inside an address, so taking it as a separator too
// loses nothing, and a list written with semicolons reaches everyone it names.
bool IsSeparator(char c) {
    return c == ',' || c == ';';
}

std::string TrimBlanks(const std::string& Text) {
    const size_t first = Text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return std::string();
    return Text.substr(first, Text.find_last_not_of(" \t") - first + 1);
}

// Positions of the separators outside double quotes and outside "<" ">". The second byte of a
// Shift_JIS double-byte character may look like a backslash, so characters are stepped over
// whole; no byte of a UTF-8 sequence is ASCII.
std::vector<size_t> SeparatorPositions(const std::string& Entry, bool Utf8) {
    std::vector<size_t> found;
    bool quoted = false;
    bool angled = false;
    for (size_t i = 0; i < Entry.size(); ++i) {
        const char c = Entry[i];
        if (!Utf8 && platform::IsDBCSLeadByte(static_cast<unsigned char>(c))) {
            ++i;
        } else if (quoted) {
            if (c == '\\')
                ++i;
            else
                quoted = c != '"';
        } else if (angled) {
            angled = c != '>';
        } else if (c == '"') {
            quoted = true;
        } else if (c == '<') {
            angled = true;
        } else if (IsSeparator(c)) {
            found.push_back(i);
        }
    }
    return found;
}

}  // namespace

std::vector<std::string> TZelSMTP::SplitRecipients(const std::string& Entry, bool Utf8) {
    const std::vector<size_t> separators = SeparatorPositions(Entry, Utf8);
    if (separators.empty())
        return {Entry};
    std::vector<std::string> pieces;
    size_t start = 0;
    for (const size_t at : separators) {
        pieces.push_back(TrimBlanks(Entry.substr(start, at - start)));
        start = at + 1;
    }
    pieces.push_back(TrimBlanks(Entry.substr(start)));
    return pieces;
}
