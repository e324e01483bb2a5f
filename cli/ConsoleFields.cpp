#include "cli/ConsoleFields.h"

#include "platform/CodePage.h"

void TConsoleFields::ClearFields() {
    To.clear();
    Cc.clear();
    Bcc.clear();
    SubjectText.clear();
    Body.clear();
}

void TConsoleFields::SetStatusText(const std::string& text) {
    status_ << platform::SjisToUtf8(text) << std::endl;
}

void TConsoleFields::SetProgressText(const std::string& text) {
    if (showProgress_)
        SetStatusText(text);
}

bool TConsoleFields::ConfirmMachineDependent(const std::string& question) {
    status_ << platform::SjisToUtf8(question) << std::endl;
    if (Strict)
        status_ << "tidemark-send: --strict: 送信しませんでした。" << std::endl;
    return !Strict;
}
