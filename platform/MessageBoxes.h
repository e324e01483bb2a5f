#pragma once
// Modal message boxes behind an interface, so tests can record and answer them.
#include <string>

namespace platform {

// Information: a plain report (sent, saved). Warning: something failed and the user can mend it.
// Error: the program could not do what was asked.
enum class MsgIcon { None, Information, Warning, Error, Question };
// SaveDiscardCancel: 保存して終了 / 破棄して終了 / キャンセル, the question before closing a window
// that holds unsent text.
// SendBack: 送信する (Ok) / 戻る (Cancel, the default), a question before a send.
enum class MsgButtons { Ok, OkCancel, SaveDiscardCancel, SendBack };
enum class MsgResult { Ok, Cancel, Save, Discard };

class MessageBoxes {
  public:
    virtual ~MessageBoxes() = default;
    // caption and text are Shift_JIS. Closing the box without a button counts as Cancel.
    virtual MsgResult Show(const std::string& caption, const std::string& text, MsgIcon icon,
                           MsgButtons buttons) = 0;
};

// The boxes in use: those a test or a program installed, else the standard boxes, else the
// error output (a program without windows).
MessageBoxes& CurrentMessageBoxes();
// Installs boxes (not owned); nullptr goes back to the standard ones.
void SetMessageBoxes(MessageBoxes* boxes);
// The standard boxes (not owned): the windowed program puts QMessageBox here at start-up
// (platform/QtMessageBoxes.h), keeping this interface free of widgets.
void SetStandardMessageBoxes(MessageBoxes* boxes);

// A modal box with the text, one "OK" button, the icon and the application's title.
void ShowMessage(const std::string& text, MsgIcon icon = MsgIcon::None);

}  // namespace platform
