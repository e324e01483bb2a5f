#pragma once
// Text that goes out in UTF-8: the charset of its encoded-words and the base64 of its body.
// A word holds whole characters as a reader sees them: a base character keeps its combining
// marks and variation selectors, an emoji sequence joined by ZWJ stays whole, so no word ends
// inside a UTF-8 sequence either.
#include <string>
#include <string_view>
#include <vector>

#include "jconvert/HeaderWords.h"

// UTF-8 text written as UTF-8 words of at most 66 characters, so that the first fits beside
// the header's name within 78. A character is a grapheme cluster; one too long for any word,
// which no reader shows as one character, is cut between its code points.
extern const TWordCharset Utf8Words;

// Bytes as base64 in lines of 76 characters (the last one shorter), without line ends.
std::vector<std::string> Base64Lines(std::string_view bytes);
