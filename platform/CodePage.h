#pragma once
// The program's code page (932, Shift_JIS) at the boundary to Unicode: widgets, the settings
// store, the command line and the program's own literals.
#include <QString>
#include <initializer_list>
#include <string>
#include <string_view>

#include "platform/Exception.h"

// A character that code page 932 cannot hold.
class ECodePageError : public EConvertError {
  public:
    ECodePageError(std::string message, char32_t character)
        : EConvertError(std::move(message)), Character(character) {}
    char32_t Character;
};

namespace platform {

// Lead byte of a double-byte character in code page 932.
inline bool IsDBCSLeadByte(unsigned char b) {
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

// Unicode -> Shift_JIS. Never replaces a character: one that code page 932 cannot hold raises
// ECodePageError naming it.
std::string Utf8ToSjis(std::string_view utf8);
std::string ToSjis(const QString& text);

// Unicode -> Shift_JIS for text only shown: a character that code page 932 cannot hold, and a
// byte that starts no UTF-8 character, become "?".
std::string Utf8ToSjisLossy(std::string_view utf8);

// Whether text is well-formed UTF-8 (no overlong form, surrogate or code point past U+10FFFF).
bool IsUtf8(std::string_view text);

// The program's own literals, written in UTF-8 in the source.
std::string Sjis(std::string_view utf8);

// A sentence of the program's own with values put in: the literal (UTF-8) holds {1}, {2}, ...
// where the values (Shift_JIS already) go, so that each sentence stays one literal.
std::string Sjis(std::string_view utf8, std::initializer_list<std::string_view> values);

// Shift_JIS -> Unicode. A byte that starts no valid character shows as U+FFFD.
std::string SjisToUtf8(std::string_view sjis);
QString FromSjis(std::string_view sjis);

// Unicode -> Shift_JIS for showing text as typed: each character code page 932 lacks is named by
// its code point instead ("U+1F600").
std::string Utf8ToSjisShown(std::string_view utf8);

// "U+301C" style name of a character, for messages.
std::string CodePointName(char32_t c);

}  // namespace platform
