#include "cli/ConsoleFields.h"

#include "platform/CodePage.h"

std::string TConsoleFields::Sjis(const TConsoleText& text) {
    if (text.Unencodable != 0) {
        throw ECodePageError(platform::Sjis("文字 ") + platform::CodePointName(text.Unencodable) +
                                 platform::Sjis(" はシフトJISで表せません"),
                             text.Unencodable);
    }
    return text.Sjis;
}

std::vector<std::string> TConsoleFields::BodyLines() const {
    return SplitBodyLines(Sjis(Body));
}

TMessageText TConsoleFields::UnicodeText() const {
    return {To.Utf8, Cc.Utf8, Bcc.Utf8, SubjectText.Utf8, SplitBodyLines(Body.Utf8)};
}

void TConsoleFields::ClearFields() {
    To = Cc = Bcc = SubjectText = Body = TConsoleText();
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
