#pragma once
// TFrmMain: the compose window. It holds the five compose fields, the one SMTP client
// ZelSMTP1 and the send flow bound to it, opens the options, address book and phrase windows,
// and is the hand-over point through which those windows return their choice.
#include <QMainWindow>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/SendFlow.h"
#include "userdata/HandOver.h"

class QAction;
class QDialog;
class QFrame;
class QLabel;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QStatusBar;
class QToolButton;
class TAttachmentList;
class TDraftKeeper;
class TSendGuard;
class TZelSMTP;

// Makes the windows that the compose window opens, each time anew. The program uses the real
// ones (RealWindows); tests put in their own.
struct TSecondaryWindows {
    std::function<std::unique_ptr<QDialog>(QWidget* Owner)> Option;
    std::function<std::unique_ptr<QDialog>(THandOverFields& FrmMain, QWidget* Owner)> Address;
    std::function<std::unique_ptr<QDialog>(THandOverFields& FrmMain, QWidget* Owner)> Tanbun;
    // The masked password box: the password (UTF-8) or nullopt when the user cancels.
    std::function<std::optional<std::string>(const std::string& AuthUser, QWidget* Owner)> Password;
};
TSecondaryWindows RealWindows();

// The address the hidden "接続" button opens.
inline constexpr const char* kLocalPage = "http://127.0.0.1/";

class TFrmMain : public QMainWindow, public THandOverFields, public TComposeFields {
    Q_OBJECT
  public:
    // The program's window: the real secondary windows, the data files' directory.
    TFrmMain();
    TFrmMain(TSecondaryWindows Windows, std::string DataDir, QWidget* parent = nullptr);
    ~TFrmMain() override;

    // Handlers.
    void FormCreate();
    void SpeedButton3Click();
    void Spb_AddlessClick();
    void Spb_CCClick();
    void Spb_BCCClick();
    void Action_addlessExecute();
    void Action_Tanbun_openExecute();
    void Action_Option_openExecute();
    void SpeedButton1Click();
    void Exit1Click();
    // The address book from the menu: the pick goes to the focused address field, else To.
    void A1Click();
    void Help2Click();  // the user guide
    void N3Click();     // the version box

    // The compose fields as the send flow reads them (Shift_JIS).
    bool ToAddressEmpty() const override;
    std::string ToAddress() const override;
    std::string ToCarbonCopy() const override;
    std::string ToBlindCarbonCopy() const override;
    std::string Subject() const override;
    std::vector<std::string> BodyLines() const override;
    TMessageText UnicodeText() const override;
    std::vector<std::string> AttachmentPaths() const override;
    void ClearFields() override;
    void SetAddressFields(const std::string& to, const std::string& cc,
                          const std::string& bcc) override;
    void SetStatusText(const std::string& text) override;
    void OpenOptions() override { Action_Option_openExecute(); }
    // Asks in the masked password box; nothing is stored.
    std::optional<std::string> AskPassword(const std::string& authUser) override;

    // Controls.
    QToolButton* Spb_Addless;
    QLineEdit* Edit_ToAddress;
    QToolButton* Spb_CC;
    QLineEdit* Edit_ToCarbonCopy;
    QToolButton* Spb_BCC;
    QLineEdit* Edit_ToBlindCarbonCopy;
    QWidget* Bevel1;
    QFrame* Panel1;
    QToolButton* SpeedButton3;
    QToolButton* SpeedButton2;
    QWidget* Bevel2;
    QToolButton* SpeedButton1;
    QToolButton* SpeedButton_Attach;  // "添付": files from the file dialog
    QLabel* Label3;
    QLineEdit* Edit_kenmei;
    QPlainTextEdit* Memo1;
    QStatusBar* StatusBar1;
    QPointer<QLabel> StatusPanel;  // the status bar's one panel

    // Menus and actions.
    QMenu* File1;
    QAction* Action_Send;    // "メール送信(&S)", Ctrl+Enter: the send button
    QAction* Action_Attach;  // "添付(&A)...": the attach button
    QAction* Exit1;
    QMenu* Tool1;
    QAction* Action_addless;
    QAction* Action_Tanbun_open;
    QAction* Action_Option_open;
    QMenu* Help1;
    QAction* Help2;
    QAction* N3;

    // The files that go with the message, under the subject.
    TAttachmentList* Attachments;

    std::unique_ptr<TZelSMTP> ZelSMTP1;
    // The draft of this window and the question before it closes with text in it.
    std::unique_ptr<TDraftKeeper> Drafts;

    // Confirmation, delay and recent recipients around the send flow.
    std::unique_ptr<TSendGuard> SendGuard;

    void CenterOnScreen();
    // Reads the stored signature and puts it below the body unless the body holds it already;
    // the program does so when it opens the window.
    void ShowSignature();

  private:
    void CreateControls(QWidget* client);
    void AnchorControls();
    void CreateAddressRow(QWidget* client, int top, const char* caption, QToolButton*& button,
                          QLineEdit*& edit);
    void CreatePanel(QWidget* client);
    void CreateAttachments();
    void CreateMenus();
    void CreateShortcuts();
    QLineEdit* FocusedAddressField() const;
    void SetTabOrder();
    void NameControls();
    void ConnectHandlers();
    void CreateComposeHelpers();
    void PutSignature();
    void RefreshSignature();

    void FillFromAddressBook(QLineEdit* field);
    QStringList MemoLines() const;
    void ShowModal(QDialog& window);

    TSecondaryWindows Windows;
    std::string DataDir;
    std::unique_ptr<TSendFlow> SendFlow;
    QString Signature;  // as last read from the settings
};
