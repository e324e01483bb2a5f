#pragma once
// Shift_JIS (code page 932) to the 7-bit forms that mail needs: ISO-2022-JP text, base64 and
// MIME encoded-words. Pure functions; any byte string is valid input.
#include <cstddef>
#include <string>
#include <string_view>

// Two bytes of a JIS X 0208 character.
struct TJisChar {
    unsigned char Row;
    unsigned char Cell;
};

// Every run of double-byte characters becomes one "=?ISO-2022-JP?B?...?=" word; all other bytes
// are copied unchanged.
std::string EncodeMimeHeader(std::string_view text);

// Double-byte characters and half-width katakana become JIS X 0208 pairs after ESC $ B; the text
// returns to ASCII with ESC ( B before every CR, LF and single-byte character and at the end, so
// that a backslash and a tilde after Japanese text stay what they are for every reader.
std::string SjisToJis(std::string_view text);
// The same conversion one character at a time: the portable path, and the reference the faster
// one is checked against.
std::string SjisToJisByCharacter(std::string_view text);

// Arithmetic conversion of one double-byte character; no range check.
TJisChar SjisCharToJis(unsigned char lead, unsigned char trail);

// The full-width form of the half-width katakana at text[position] (0xA1-0xDF), absorbing a
// following voiced or semi-voiced mark where a combined form exists. Advances position past
// what it consumed. Throws std::out_of_range when there is no half-width katakana at position.
TJisChar HankakuKanaToJis(std::string_view text, size_t& position);

// RFC 2045 base64, padded, without line breaks.
std::string Base64Encode(std::string_view bytes);

// Shift_JIS text with every half-width katakana widened to its full-width Shift_JIS form, marks
// absorbed as HankakuKanaToJis does; all other bytes and double-byte characters stay as they are.
std::string HankakuToZenkaku(std::string_view text);
