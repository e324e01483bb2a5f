#include "userdata/DataFile.h"

#include "platform/Application.h"
#include "platform/CodePage.h"
#include "platform/MessageBoxes.h"
#include "userdata/LineFile.h"

namespace userdata {

std::string ToFileText(const QString& text, const char* fileUtf8) {
    try {
        return platform::ToSjis(text);
    } catch (const ECodePageError& e) {
        throw ECodePageError(platform::Sjis(fileUtf8) +
                                 platform::Sjis("はシフトJISで保存するため、文字 ") +
                                 platform::CodePointName(e.Character) +
                                 platform::Sjis(" は入れられません。メールの宛先・件名・本文には"
                                                "そのまま書けます"),
                             e.Character);
    }
}

std::vector<std::string> TDataFile::Load() {
    try {
        protected_ = false;
        return ReadLineFile(path_);
    } catch (const EFileReadError& e) {
        // A missing file holds nothing that a save could destroy.
        protected_ = !e.Missing;
        platform::HandleException(e);
        return {};
    }
}

bool TDataFile::Save(const std::vector<std::string>& lines) {
    if (protected_) {
        platform::ShowMessage(
            path_ + platform::Sjis(" を読み込めなかったので、保存しませんでした。"),
            platform::MsgIcon::Warning);
        return true;
    }
    try {
        try {
            WriteLineFile(path_, lines);
        } catch (const EInOutError&) {
            WriteLineFile(path_, lines);
        }
        return true;
    } catch (const EInOutError& e) {
        platform::HandleException(e);
        return false;
    }
}

}  // namespace userdata
