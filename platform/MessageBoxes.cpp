#include "platform/MessageBoxes.h"

#include <cstdio>

#include "platform/Application.h"
#include "platform/CodePage.h"

namespace platform {
namespace {

// Until a program installs boxes that can be seen, a box's text goes to the error output so
// that nothing is lost; nobody can answer a question, so it counts as closed.
class ErrorOutputBoxes : public MessageBoxes {
  public:
    MsgResult Show(const std::string& caption, const std::string& text, MsgIcon,
                   MsgButtons buttons) override {
        std::fprintf(stderr, "%s: %s\n", SjisToUtf8(caption).c_str(), SjisToUtf8(text).c_str());
        return buttons == MsgButtons::Ok ? MsgResult::Ok : MsgResult::Cancel;
    }
};

MessageBoxes* installed = nullptr;
MessageBoxes* standard = nullptr;

}  // namespace

MessageBoxes& CurrentMessageBoxes() {
    static ErrorOutputBoxes errorOutput;
    if (installed)
        return *installed;
    return standard ? *standard : errorOutput;
}

void SetMessageBoxes(MessageBoxes* boxes) {
    installed = boxes;
}

void SetStandardMessageBoxes(MessageBoxes* boxes) {
    standard = boxes;
}

void ShowMessage(const std::string& text, MsgIcon icon) {
    CurrentMessageBoxes().Show(ApplicationTitle(), text, icon, MsgButtons::Ok);
}

}  // namespace platform
