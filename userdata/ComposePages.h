#pragma once
// Two pages of the options dialog for writing and sending: the signature put below the body of
// a new message, and the check against sending to the wrong person (誤送信防止): the recipient
// list to confirm before sending, the user's own domains, the delay in which a send can still be
// taken back, and the list of recent recipients that completion offers. All of it is off while
// left empty.
#include <QObject>
#include <functional>
#include <string>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QSpinBox;
class QTabWidget;
class QWidget;
class TRegIniFile;

namespace userdata {

// The stored values, as the compose window reads them at each send.
struct TComposeSettings {
    std::string Signature;  // UTF-8, lines separated by LF; empty: none
    bool ConfirmSend = false;
    std::string OwnDomains;  // besides the sender's own, separated by blanks, commas or semicolons
    int SendDelay = 0;       // seconds, 0 to 60
};
inline constexpr int kMaxSendDelay = 60;

// Reads them from the settings store; a value that cannot be used reads as unset.
TComposeSettings ReadComposeSettings();

class TComposePages : public QObject {
  public:
    // Adds both pages to the dialog's page control.
    explicit TComposePages(QTabWidget* PageControl1);

    void Load(TRegIniFile& reg);
    void Store(TRegIniFile& reg);
    // "履歴を消去": forgets the recent recipients at once.
    void Button_clearrecentClick();

    QWidget* TabSheet_signature;
    QLabel* Label_signature;
    QPlainTextEdit* Memo_signature;

    QWidget* TabSheet_guard;
    QGroupBox* GroupBox_guard;
    QCheckBox* CheckBox_confirm;
    QLabel* Label_domains;
    QLineEdit* Edit_domains;
    QLabel* Label_delay;
    QSpinBox* SpinEdit_delay;
    QGroupBox* GroupBox_recent;
    QLabel* Label_recent;
    QPushButton* Button_clearrecent;

    // The directory of the recent recipients (the program's data directory); tests put in
    // their own.
    std::function<std::string()> DataDir;

  private:
    void CreateSignaturePage(QTabWidget* pages);
    void CreateGuardPage(QTabWidget* pages);
};

}  // namespace userdata
