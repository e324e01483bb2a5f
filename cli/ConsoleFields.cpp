#include "cli/ConsoleFields.h"

#include "app/SendFlowText.h"
#include "cli/TerminalText.h"
#include "platform/CodePage.h"

std::string TConsoleFields::Sjis(const TConsoleText& text) {
    if (text.Unencodable != 0) {
        throw ECodePageError(platform::Sjis("文字 ") + platform::CodePointName(text.Unencodable) +
                                 platform::Sjis(" はシフトJISで表せません"),
                             text.Unencodable);
    }
    return text.Sjis;
}

void TConsoleFields::SetBody(TConsoleText body, bool givenInUtf8) {
    Body = std::move(body);
    std::string& made = givenInUtf8 ? Body.Sjis : Body.Utf8;
    std::string().swap(made);
}

// The body keeps one form only; the other is made while the message is read.
std::vector<std::string> TConsoleFields::BodyLines() const {
    if (Body.Unencodable != 0 || !Body.Sjis.empty() || Body.Utf8.empty())
        return SplitBodyLines(Sjis(Body));
    // Line by line: a line end is the same byte in both, and the body is not converted whole
    // beside its lines.
    return SplitBodyLines(Body.Utf8,
                          [](std::string_view line) { return platform::Utf8ToSjis(line); });
}

TMessageText TConsoleFields::UnicodeText() const {
    std::vector<std::string> body = Body.Utf8.empty()
                                        ? SplitBodyLines(platform::SjisToUtf8(Body.Sjis))
                                        : SplitBodyLines(Body.Utf8);
    return {To.Utf8, Cc.Utf8, Bcc.Utf8, SubjectText.Utf8, std::move(body)};
}

void TConsoleFields::ClearFields() {
    To = Cc = Bcc = SubjectText = Body = TConsoleText();
}

void TConsoleFields::SetAddressFields(const std::string& to, const std::string& cc,
                                      const std::string& bcc) {
    To = ReadConsoleText(to, "utf-8", "--to");
    Cc = ReadConsoleText(cc, "utf-8", "--cc");
    Bcc = ReadConsoleText(bcc, "utf-8", "--bcc");
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
