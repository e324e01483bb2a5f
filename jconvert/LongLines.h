#pragma once
// Mail allows at most 998 bytes on a line. Long ISO-2022-JP body lines are broken into shorter
// ones, and a header text too long for one line is written as short encoded-words that can be
// folded onto continuation lines. Pure functions; any byte string is valid input.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

inline constexpr size_t kMaxMailLine = 998;
inline constexpr size_t kMaxEncodedWord = 75;

// A body line as SjisToJis makes it, as one or more lines that each stay within 998 bytes on
// the wire, counting the "." that the dot rule puts before a line starting with ".". A line
// that fits comes back unchanged. Breaks fall between characters; a break inside kanji closes
// the line with ESC ( J and opens the next with ESC $ B.
std::vector<std::string> BreakJisLine(std::string_view line);

// Shift_JIS text as ISO-2022-JP encoded-words of at most 75 characters each, in order.
// Each word holds whole characters and decodes on its own: it opens and closes kanji mode
// inside itself. Empty text gives no words.
std::vector<std::string> EncodeMimeWords(std::string_view text);

// The value of a header line that holds lineBytes bytes besides it: EncodeMimeHeader's form
// while the line fits in one mail line, otherwise EncodeMimeWords joined by single spaces, at
// which the line can be folded.
std::string EncodeMimeHeaderValue(std::string_view text, size_t lineBytes);
