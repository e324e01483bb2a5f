#pragma once
// Mail allows at most 998 bytes on a line: long ISO-2022-JP body lines are broken into shorter
// ones. Pure functions; any byte string is valid input.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

inline constexpr size_t kMaxMailLine = 998;

// A body line as SjisToJis makes it, as one or more lines that each stay within 998 bytes on
// the wire, counting the "." that the dot rule puts before a line starting with ".". A line
// that fits comes back unchanged. Breaks fall between characters; a break inside kanji closes
// the line with ESC ( B and opens the next with ESC $ B.
std::vector<std::string> BreakJisLine(std::string_view line);
