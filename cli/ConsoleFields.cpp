#include "cli/ConsoleFields.h"

#include "app/SendFlowText.h"
#include "cli/TerminalText.h"

void TConsoleFields::ClearFields() {
    To.clear();
    Cc.clear();
    Bcc.clear();
    SubjectText.clear();
    Body.clear();
}

void TConsoleFields::SetAddressFields(const std::string& to, const std::string& cc,
                                      const std::string& bcc) {
    To = to;
    Cc = cc;
    Bcc = bcc;
}

void TConsoleFields::SetStatusText(const std::string& text) {
    status_ << TerminalText(text) << std::endl;
}

void TConsoleFields::SetProgressText(const std::string& text) {
    if (showProgress_)
        SetStatusText(text);
}

bool TConsoleFields::ConfirmMachineDependent(const std::vector<std::string>& characters) {
    status_ << TerminalText(MachineDependentWarning(characters)) << std::endl;
    if (Strict)
        status_ << "tidemark-send: --strict: 送信しませんでした。" << std::endl;
    return !Strict;
}

void TConsoleFields::OfferOptions(const std::string& missing) {
    status_ << "tidemark-send: " << TerminalText(MissingSettingsText(missing)) << std::endl;
}
