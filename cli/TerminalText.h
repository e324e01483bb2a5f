#pragma once
// What tidemark-send prints may carry a server's words, and a terminal obeys control characters
// (a greeting with ESC ] retitles the window, ESC [2J clears it). Every text goes out through
// here, with such characters shown as "?".
#include <string>
#include <string_view>

// Shift_JIS Text as UTF-8 for the terminal: C0 controls other than tab and line feed, DEL and
// the C1 controls (U+0080 to U+009F) each become "?".
std::string TerminalText(std::string_view Text);
