#pragma once
// Text a server wrote ends up in status texts, boxes and on a terminal, and a terminal obeys
// control characters (a greeting with ESC ] retitles the window, ESC [2J clears it). Such text
// enters the program's own texts through ServerText and leaves for a screen through
// TerminalText or ShownText, each of which shows a control character as "?".
#include <QString>
#include <string>
#include <string_view>

namespace platform {

// A server's bytes as the program's Shift_JIS: read as UTF-8 when they are well-formed UTF-8
// beyond ASCII (a character code page 932 lacks becomes "?"), else as Shift_JIS. C0 controls
// other than tab, CR and LF, and DEL, become "?".
std::string ServerText(std::string_view Bytes);

// Shift_JIS Text as UTF-8 for the terminal: C0 controls other than tab and line feed, DEL and
// the C1 controls (U+0080 to U+009F) each become "?".
std::string TerminalText(std::string_view Text);

// The same for a widget.
QString ShownText(std::string_view Text);

}  // namespace platform
