#include "cli/ConsoleFields.h"

#include "cli/TerminalText.h"

void TConsoleFields::ClearFields() {
    To.clear();
    Cc.clear();
    Bcc.clear();
    SubjectText.clear();
    Body.clear();
}

void TConsoleFields::SetStatusText(const std::string& text) {
    status_ << TerminalText(text) << std::endl;
}

void TConsoleFields::SetProgressText(const std::string& text) {
    if (showProgress_)
        SetStatusText(text);
}

bool TConsoleFields::ConfirmMachineDependent(const std::string& question) {
    status_ << TerminalText(question) << std::endl;
    if (Strict)
        status_ << "tidemark-send: --strict: 送信しませんでした。" << std::endl;
    return !Strict;
}
