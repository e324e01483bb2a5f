#pragma once
// Text that goes out in UTF-8: header texts as "=?UTF-8?B?...?=" encoded-words and the body as
// base64. A word holds whole characters as a reader sees them: a base character keeps its
// combining marks and variation selectors, an emoji sequence joined by ZWJ stays whole, so no
// word ends inside a UTF-8 sequence either.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// Header lines of a UTF-8 message are folded to stay within this many characters.
inline constexpr size_t kUtf8HeaderWidth = 78;

// UTF-8 text as encoded-words of at most 75 characters each, the first at most firstWord (it
// shares its line with the header's name). A character sequence too long for one word, which
// no reader shows as one character, is cut between code points. Empty text gives no words.
std::vector<std::string> EncodeUtf8Words(std::string_view utf8, size_t firstWord);

// The value of a header line that holds lineBytes bytes besides it: ASCII text unchanged, any
// other text as encoded-words separated by blanks, where the line is folded, the first word
// fitting beside the header's name.
std::string EncodeUtf8HeaderValue(std::string_view utf8, size_t lineBytes);

// Bytes as base64 in lines of 76 characters (the last one shorter), without line ends.
std::vector<std::string> Base64Lines(std::string_view bytes);
