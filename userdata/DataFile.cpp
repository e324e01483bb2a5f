#include "userdata/DataFile.h"

#include "platform/Application.h"
#include "platform/CodePage.h"
#include "platform/MessageBoxes.h"
#include "userdata/LineFile.h"

namespace userdata {

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
        platform::ShowMessage(path_ +
                              platform::Sjis(" を読み込めなかったので、保存しませんでした。"));
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
