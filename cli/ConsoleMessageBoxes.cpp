#include "cli/ConsoleMessageBoxes.h"

#include "cli/TerminalText.h"

TConsoleMessageBoxes::TConsoleMessageBoxes(std::ostream& out) : out_(out) {
    platform::SetMessageBoxes(this);
}

TConsoleMessageBoxes::~TConsoleMessageBoxes() {
    platform::SetMessageBoxes(nullptr);
}

platform::MsgResult TConsoleMessageBoxes::Show(const std::string&, const std::string& text,
                                               platform::MsgIcon, platform::MsgButtons) {
    out_ << TerminalText(text) << std::endl;
    return platform::MsgResult::Ok;
}
