#pragma once
// Modal message boxes behind an interface, so tests can record and answer them.
#include <string>

namespace platform {

enum class MsgIcon { None, Error, Question };
enum class MsgButtons { Ok, OkCancel };
enum class MsgResult { Ok, Cancel };

class MessageBoxes {
  public:
    virtual ~MessageBoxes() = default;
    // caption and text are Shift_JIS. Closing the box without a button counts as Cancel.
    virtual MsgResult Show(const std::string& caption, const std::string& text, MsgIcon icon,
                           MsgButtons buttons) = 0;
};

// The boxes in use: QMessageBox unless a test installed its own.
MessageBoxes& CurrentMessageBoxes();
// Installs boxes (not owned); nullptr goes back to the real ones.
void SetMessageBoxes(MessageBoxes* boxes);

// A modal box with the text, one "OK" button, no icon and the application's title.
void ShowMessage(const std::string& text);

}  // namespace platform
