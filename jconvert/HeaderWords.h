#pragma once
// Header text as mail readers expect it: display names as phrases (atoms as typed, a quoted
// string where a special stands, encoded-words where Japanese stands), and texts with their
// Japanese words as encoded-words of at most 75 characters that keep the blanks between the
// words. The charset the words are written in is a parameter, so that
// every charset shares the same rules. Pure functions; any byte string is valid input.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// How one charset writes the text of encoded-words.
struct TWordCharset {
    // The charset's name inside a word: "=?" Name "?B?" ... "?=".
    std::string_view Name;
    // Bytes of the character at text[at], at least 1 and never past the end; no word splits a
    // character.
    size_t (*CharLength)(std::string_view text, size_t at);
    // Bytes of the code point at text[at], at least 1 and never past the end: the step in which
    // the syntax of a header text is read.
    size_t (*CodePointLength)(std::string_view text, size_t at);
    // Whole characters in the charset, complete on their own: a decoder that starts afresh with
    // the bytes reads them back.
    std::string (*Encode)(std::string_view characters);
    // The longest word: RFC 2047 allows 75 characters; a charset may keep its words shorter so
    // that the first one fits beside the header's name within 78.
    size_t MaxWordLength = 75;
};

// Shift_JIS text written as ISO-2022-JP words.
extern const TWordCharset Iso2022JpWords;

// The text as encoded-words of at most the charset's MaxWordLength characters each, in order, each
// holding whole characters. Empty text gives no words.
std::vector<std::string> EncodeWords(std::string_view text, const TWordCharset& charset);

// An unstructured header text (subject, mailer name). Text without a byte above 0x7F comes back
// unchanged. Otherwise every blank-separated word holding such a byte is encoded, and
// neighbouring encoded words become one run of encoded-words with the blanks between them
// inside, so that a reader keeps those blanks; the other words and their blanks stay as typed.
std::string EncodeHeaderText(std::string_view text, const TWordCharset& charset);

// Text as one quoted string: in double quotes, with '"' and '\\' escaped by a backslash.
std::string QuotedString(std::string_view text);

// A display name as a phrase, without blanks at its ends. ASCII: as typed when it is already a
// phrase of atoms and quoted strings, else one quoted string. With a byte above 0x7F: as
// EncodeHeaderText, except that every word that is no atom is encoded too; a name that is one
// quoted string stands for its content.
std::string EncodePhrase(std::string_view name, const TWordCharset& charset);
