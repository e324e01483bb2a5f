#include "app/FrmMain.h"

#include <QAction>
#include <QDialog>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QPainter>
#include <QPlainTextEdit>
#include <QScreen>
#include <QStatusBar>
#include <QStyleOptionToolButton>
#include <QStylePainter>
#include <QTextCursor>
#include <QTextDocument>
#include <QToolButton>
#include <algorithm>
#include <cerrno>
#include <cstdio>

#include "app/AddressCompleter.h"
#include "app/Anchors.h"
#include "app/Attachments.h"
#include "app/DraftKeeper.h"
#include "app/Glyphs.h"
#include "app/MemoLines.h"
#include "app/PasswordBox.h"
#include "app/ProgramIcon.h"
#include "app/SendGuard.h"
#include "platform/Application.h"
#include "platform/CodePage.h"
#include "platform/DataDir.h"
#include "platform/InputMethod.h"
#include "platform/MessageLoop.h"
#include "platform/ScreenText.h"
#include "platform/Shell.h"
#include "smtp/Zelsmtp.h"
#include "userdata/FrmAddress.h"
#include "userdata/FrmOption.h"
#include "userdata/FrmTanbun.h"
#include "userdata/LineFile.h"
#include "userdata/WindowFont.h"

using platform::FromSjis;
using platform::Sjis;
using platform::ToSjis;

namespace {

constexpr int kClientWidth = 338;
constexpr int kClientHeight = 359;

// A sunken rule along one edge of its rectangle.
class TBevel : public QWidget {
  public:
    enum TShape { bsBottomLine, bsLeftLine };
    TBevel(TShape shape, QWidget* parent) : QWidget(parent), shape_(shape) {}

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        const QColor shadow = palette().color(QPalette::Dark);
        const QColor light = palette().color(QPalette::Light);
        const int right = width() - 1, bottom = height() - 1;
        if (shape_ == bsBottomLine) {
            p.setPen(shadow);
            p.drawLine(0, bottom - 1, right, bottom - 1);
            p.setPen(light);
            p.drawLine(0, bottom, right, bottom);
        } else {
            p.setPen(shadow);
            p.drawLine(0, 0, 0, bottom);
            p.setPen(light);
            p.drawLine(1, 0, 1, bottom);
        }
    }

  private:
    TShape shape_;
};

// A flat button that shows its border only under the pointer and lays out its glyph, a gap of
// 4 pixels and its text as one block in the middle, without the margins a tool button keeps,
// so the captions fit the narrow address buttons.
class TSpeedButton : public QToolButton {
  public:
    using QToolButton::QToolButton;

  protected:
    void paintEvent(QPaintEvent*) override {
        QStylePainter p(this);
        QStyleOptionToolButton option;
        initStyleOption(&option);
        const bool hot = isEnabled() && underMouse();
        if (hot || isDown()) {
            option.state |= isDown() ? QStyle::State_Sunken : QStyle::State_Raised;
            p.drawPrimitive(QStyle::PE_PanelButtonTool, option);
        }
        constexpr int kSpacing = 4;
        const int textWidth = fontMetrics().horizontalAdvance(text());
        const QPoint shift = isDown() ? QPoint(1, 1) : QPoint(0, 0);
        const int left = std::max(0, (width() - iconSize().width() - kSpacing - textWidth) / 2);
        const QPixmap glyph =
            icon().pixmap(iconSize(), isEnabled() ? QIcon::Normal : QIcon::Disabled);
        p.drawPixmap(QPoint(left, (height() - iconSize().height()) / 2) + shift, glyph);
        const QRect textArea(left + iconSize().width() + kSpacing, 0, textWidth, height());
        p.drawItemText(textArea.translated(shift), Qt::AlignLeft | Qt::AlignVCenter, palette(),
                       isEnabled(), text(), QPalette::ButtonText);
        if (hasFocus()) {
            QStyleOptionFocusRect focus;
            focus.initFrom(this);
            focus.rect = rect().adjusted(1, 1, -1, -1);
            p.drawPrimitive(QStyle::PE_FrameFocusRect, focus);
        }
    }
    // Reached by Tab, a button is pressed with Enter as well as with the space bar.
    void keyPressEvent(QKeyEvent* event) override {
        if ((event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier &&
            (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)) {
            click();
            return;
        }
        QToolButton::keyPressEvent(event);
    }
};

QToolButton* SpeedButton(QWidget* parent, const QRect& place, const char* caption,
                         const QImage& glyph) {
    auto* button = new TSpeedButton(parent);
    button->setGeometry(place);
    button->setText(FromSjis(Sjis(caption)));
    button->setIcon(glyphs::Icon(glyph));
    button->setIconSize(QSize(glyphs::kSize, glyphs::kSize));
    button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    button->setAutoRaise(true);
    button->setFocusPolicy(Qt::NoFocus);
    return button;
}

QLineEdit* Edit(QWidget* parent, const QRect& place, bool inputMethodOpen) {
    auto* edit = new QLineEdit(parent);
    edit->setGeometry(place);
    platform::FollowInputMethod(edit, inputMethodOpen);
    return edit;
}

// Opens for appending and closes again: an existing file keeps its content, a missing one is
// created empty.
void MakeSureFileExists(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "ab");
    if (!file) {
        throw EInOutError(userdata::FileErrorText("ファイル %s を開けません", path, errno));
    }
    std::fclose(file);
}

template <class Handler>
auto Guarded(TFrmMain* form, Handler handler) {
    return [form, handler] {
        try {
            (form->*handler)();
        } catch (const std::exception& e) {
            platform::HandleException(e);
        }
    };
}

}  // namespace

TSecondaryWindows RealWindows() {
    return {
        [](QWidget* owner) { return std::unique_ptr<QDialog>(new TFrmOption(owner)); },
        [](THandOverFields& fields, QWidget* owner) {
            return std::unique_ptr<QDialog>(new TFrmAddress(fields, owner));
        },
        [](THandOverFields& fields, QWidget* owner) {
            return std::unique_ptr<QDialog>(new TFrmTanbun(fields, owner));
        },
        AskPasswordBox,
    };
}

TFrmMain::TFrmMain() : TFrmMain(RealWindows(), platform::DataDir()) {}

TFrmMain::TFrmMain(TSecondaryWindows Windows, std::string DataDir, QWidget* parent)
    : QMainWindow(parent),
      ZelSMTP1(std::make_unique<TZelSMTP>(nullptr)),
      Windows(std::move(Windows)),
      DataDir(std::move(DataDir)) {
    setWindowTitle(FromSjis(Sjis("ぴこぴこ便")));
    // The program's boxes carry the title the user knows the program by.
    platform::SetApplicationTitle(Sjis("ぴこぴこ便"));
    setWindowIcon(ProgramIcon());
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinMaxButtonsHint |
                   Qt::WindowCloseButtonHint);
    setFont(userdata::WindowFont());

    auto* client = new QWidget(this);
    // The designed size is the least; the body grows with the window, the fields with its width.
    client->resize(kClientWidth, kClientHeight);
    client->setMinimumSize(kClientWidth, kClientHeight);
    setCentralWidget(client);
    CreateControls(client);
    AnchorControls();
    CreateAttachments();
    CreateMenus();
    SetTabOrder();
    NameControls();
    ConnectHandlers();
    setMinimumSize(kClientWidth, kClientHeight + menuBar()->sizeHint().height());
    resize(minimumSize());
    CenterOnScreen();

    SendFlow = std::make_unique<TSendFlow>(*ZelSMTP1, *this);
    Drafts = std::make_unique<TDraftKeeper>(*this, DraftFilesIn(this->DataDir));
    FormCreate();
    CreateComposeHelpers();
}

TFrmMain::~TFrmMain() = default;

void TFrmMain::CreateControls(QWidget* client) {
    CreateAddressRow(client, 2, " 宛先：", Spb_Addless, Edit_ToAddress);
    CreateAddressRow(client, 24, "  ＣＣ：", Spb_CC, Edit_ToCarbonCopy);
    CreateAddressRow(client, 46, "ＢＣＣ：", Spb_BCC, Edit_ToBlindCarbonCopy);
    Bevel1 = new TBevel(TBevel::bsBottomLine, client);
    Bevel1->setGeometry(-2, 66, 337, 6);
    CreatePanel(client);

    Label3 = new QLabel(FromSjis(Sjis("件名：")), client);
    Label3->setGeometry(2, 104, 30, 12);
    Edit_kenmei = Edit(client, QRect(34, 100, 301, 20), true);
    Edit_kenmei->setFont(userdata::WindowFont());

    Memo1 = new QPlainTextEdit(client);
    Memo1->setGeometry(0, 124, kClientWidth, 217);
    Memo1->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    // A word wider than the field is cut, so that no line is wider than the field.
    Memo1->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Memo1->setTabChangesFocus(true);
    platform::FollowInputMethod(Memo1, true);

    StatusBar1 = new QStatusBar(client);
    StatusBar1->setGeometry(0, 341, kClientWidth, 18);
    StatusBar1->setSizeGripEnabled(false);
    StatusBar1->setStyleSheet("QStatusBar::item { border: none; }");
    StatusPanel = new QLabel(StatusBar1);
    StatusPanel->setMinimumWidth(50);
    StatusBar1->addWidget(StatusPanel, 1);
}

void TFrmMain::AnchorControls() {
    for (QWidget* wide : std::initializer_list<QWidget*>{
             Edit_ToAddress, Edit_ToCarbonCopy, Edit_ToBlindCarbonCopy, Bevel1, Edit_kenmei}) {
        SetAnchors(wide, akLeft | akTop | akRight);
    }
    SetAnchors(Memo1, akLeft | akTop | akRight | akBottom);
    SetAnchors(StatusBar1, akLeft | akRight | akBottom);
}

void TFrmMain::CreateAddressRow(QWidget* client, int top, const char* caption, QToolButton*& button,
                                QLineEdit*& edit) {
    button = SpeedButton(client, QRect(2, top, 53, 21), caption, glyphs::HandWriting());
    edit = Edit(client, QRect(58, top, 275, 20), false);
}

void TFrmMain::CreatePanel(QWidget* client) {
    Panel1 = new QFrame(client);
    Panel1->setGeometry(2, 74, 283, 25);
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Raised);
    SpeedButton3 =
        SpeedButton(Panel1, QRect(2, 2, 111, 21), "メール送信", glyphs::EnvelopeWithStamp());
    SpeedButton2 = SpeedButton(Panel1, QRect(114, 2, 79, 21), "短文入力", glyphs::SpiralNotepad());
    // The send and phrase buttons follow the body in the Tab order.
    SpeedButton3->setFocusPolicy(Qt::TabFocus);
    SpeedButton2->setFocusPolicy(Qt::TabFocus);
    Bevel2 = new TBevel(TBevel::bsLeftLine, Panel1);
    Bevel2->setGeometry(196, 4, 5, 18);
    Bevel2->hide();
    SpeedButton1 = SpeedButton(Panel1, QRect(200, 2, 81, 21), "接続", glyphs::Globe());
    SpeedButton1->hide();
    SpeedButton_Attach = SpeedButton(Panel1, QRect(196, 2, 60, 21), "添付", glyphs::PaperClip());
    SpeedButton_Attach->setFocusPolicy(Qt::TabFocus);
}

// The list takes the top of the body's place while it holds files; files and images dropped on
// the window or pasted into its fields join it.
void TFrmMain::CreateAttachments() {
    Attachments = new TAttachmentList(Memo1, DataDir);
    Attachments->ServerLimit = [this] { return ZelSMTP1->MaxMessageSize; };
    setAcceptDrops(true);
    Attachments->TakeDropsAndPastes(
        {this, Edit_ToAddress, Edit_ToCarbonCopy, Edit_ToBlindCarbonCopy, Edit_kenmei, Memo1});
}

void TFrmMain::CreateMenus() {
    auto action = [this](const char* caption) {
        return new QAction(FromSjis(Sjis(caption)), this);
    };
    QMenuBar* MainMenu1 = menuBar();
    File1 = MainMenu1->addMenu(FromSjis(Sjis("ファイル(&F)")));
    Action_Send = action("メール送信(&S)");
    Action_Attach = action("添付(&A)...");
    Exit1 = action("終了(&E)");
    File1->addAction(Action_Send);
    File1->addAction(Action_Attach);
    File1->addSeparator();
    File1->addAction(Exit1);

    Tool1 = MainMenu1->addMenu(FromSjis(Sjis("ツール(&T)")));
    Action_addless = action("アドレス帳(&A)...");
    Action_Tanbun_open = action("短文入力(&N)");
    Action_Option_open = action("オプション設定(&O)");
    Tool1->addAction(Action_addless);
    Tool1->addAction(Action_Tanbun_open);
    Tool1->addSeparator();
    Tool1->addAction(Action_Option_open);

    Help1 = MainMenu1->addMenu(FromSjis(Sjis("ヘルプ(&H)")));
    Help2 = action("ヘルプ(&H)");
    N3 = action("バージョン情報(&A)");
    Help1->addAction(Help2);
    Help1->addSeparator();
    Help1->addAction(N3);
    CreateShortcuts();
}

void TFrmMain::SetTabOrder() {
    setTabOrder(Edit_ToAddress, Edit_ToCarbonCopy);
    setTabOrder(Edit_ToCarbonCopy, Edit_ToBlindCarbonCopy);
    setTabOrder(Edit_ToBlindCarbonCopy, Edit_kenmei);
    // The attachment list, while it is shown, between the subject and the body.
    setTabOrder(Edit_kenmei, Attachments->List);
    setTabOrder(Attachments->List, Attachments->RemoveButton);
    setTabOrder(Attachments->RemoveButton, Memo1);
    setTabOrder(Memo1, SpeedButton3);
    setTabOrder(SpeedButton3, SpeedButton2);
    setTabOrder(SpeedButton2, SpeedButton_Attach);
}

void TFrmMain::ConnectHandlers() {
    connect(Spb_Addless, &QToolButton::clicked, this, Guarded(this, &TFrmMain::Spb_AddlessClick));
    connect(Spb_CC, &QToolButton::clicked, this, Guarded(this, &TFrmMain::Spb_CCClick));
    connect(Spb_BCC, &QToolButton::clicked, this, Guarded(this, &TFrmMain::Spb_BCCClick));
    connect(SpeedButton3, &QToolButton::clicked, this, Guarded(this, &TFrmMain::SpeedButton3Click));
    connect(SpeedButton2, &QToolButton::clicked, this,
            Guarded(this, &TFrmMain::Action_Tanbun_openExecute));
    connect(SpeedButton1, &QToolButton::clicked, this, Guarded(this, &TFrmMain::SpeedButton1Click));
    connect(Exit1, &QAction::triggered, this, Guarded(this, &TFrmMain::Exit1Click));
    connect(Action_addless, &QAction::triggered, this, Guarded(this, &TFrmMain::A1Click));
    connect(Action_Tanbun_open, &QAction::triggered, this,
            Guarded(this, &TFrmMain::Action_Tanbun_openExecute));
    connect(Action_Option_open, &QAction::triggered, this,
            Guarded(this, &TFrmMain::Action_Option_openExecute));
    connect(Action_Send, &QAction::triggered, SpeedButton3, &QToolButton::click);
    connect(SpeedButton_Attach, &QToolButton::clicked, Attachments, &TAttachmentList::Choose);
    connect(Action_Attach, &QAction::triggered, Attachments, &TAttachmentList::Choose);
    connect(Help2, &QAction::triggered, this, Guarded(this, &TFrmMain::Help2Click));
    connect(N3, &QAction::triggered, this, Guarded(this, &TFrmMain::N3Click));
}

void TFrmMain::CenterOnScreen() {
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        move(screen->availableGeometry().center() - rect().center());
    }
}

void TFrmMain::FormCreate() {
    ProgramDir = DataDir;
    SelectedTanbun.clear();
    try {
        MakeSureFileExists(ProgramDir + "tanbun.dat");
        MakeSureFileExists(ProgramDir + "Address.dat");
    } catch (const std::exception& e) {
        platform::HandleException(e);
    }
}

void TFrmMain::SpeedButton3Click() {
    if (!Attachments->ReadyToSend(Edit_kenmei->text() + '\n' + Memo1->toPlainText()))
        return;
    SendGuard->Send();
}

void TFrmMain::Spb_AddlessClick() {
    FillFromAddressBook(Edit_ToAddress);
}
void TFrmMain::Spb_CCClick() {
    FillFromAddressBook(Edit_ToCarbonCopy);
}
void TFrmMain::Spb_BCCClick() {
    FillFromAddressBook(Edit_ToBlindCarbonCopy);
}

// The chosen addresses join those in the field; without a choice the field keeps its text.
void TFrmMain::FillFromAddressBook(QLineEdit* field) {
    Action_addlessExecute();
    if (!SelectedAddless.empty())
        field->setText(WithAddresses(field->text(), FromSjis(SelectedAddless)));
}

void TFrmMain::Action_addlessExecute() {
    SelectedAddless.clear();
    const std::unique_ptr<QDialog> FrmAddress = Windows.Address(*this, this);
    ShowModal(*FrmAddress);
}

// The chosen phrase becomes a line of its own at the end of the body, wherever the caret is.
void TFrmMain::Action_Tanbun_openExecute() {
    {
        const std::unique_ptr<QDialog> FrmTanbun = Windows.Tanbun(*this, this);
        ShowModal(*FrmTanbun);
    }
    if (SelectedTanbun.empty())
        return;
    const QString phrase = FromSjis(SelectedTanbun);
    SelectedTanbun.clear();
    const QString body = Memo1->toPlainText();
    QTextCursor end(Memo1->document());
    end.movePosition(QTextCursor::End);
    end.insertText(body.isEmpty() || body.endsWith('\n') ? phrase : '\n' + phrase);
}

void TFrmMain::Action_Option_openExecute() {
    const std::unique_ptr<QDialog> FrmOption = Windows.Option(this);
    ShowModal(*FrmOption);
    RefreshSignature();
}

void TFrmMain::ShowModal(QDialog& window) {
    window.move(frameGeometry().topLeft() + QPoint(25, 20));
    window.exec();
}

void TFrmMain::SpeedButton1Click() {
    platform::ProcessMessages();
    platform::CurrentShell().Open(kLocalPage);
}

void TFrmMain::Exit1Click() {
    close();
}

bool TFrmMain::ToAddressEmpty() const {
    return Edit_ToAddress->text().isEmpty();
}
std::string TFrmMain::ToAddress() const {
    return ToSjis(Edit_ToAddress->text());
}
std::string TFrmMain::ToCarbonCopy() const {
    return ToSjis(Edit_ToCarbonCopy->text());
}
std::string TFrmMain::ToBlindCarbonCopy() const {
    return ToSjis(Edit_ToBlindCarbonCopy->text());
}
std::string TFrmMain::Subject() const {
    return ToSjis(Edit_kenmei->text());
}

// The lines the body shows, wrapped at its width, so that the reader gets the lines the writer
// saw (a word cut for want of width stays whole); like a memo's own line list, an empty last line
// (the text ends in a line break) is not a line.
QStringList TFrmMain::MemoLines() const {
    QStringList lines = LinesToSend(*Memo1);
    if (!lines.isEmpty() && lines.back().isEmpty())
        lines.removeLast();
    return lines;
}

std::vector<std::string> TFrmMain::BodyLines() const {
    std::vector<std::string> result;
    for (const QString& line : MemoLines())
        result.push_back(ToSjis(line));
    return result;
}

// Straight from the widgets: nothing passes through Shift_JIS.
TMessageText TFrmMain::UnicodeText() const {
    TMessageText text{Edit_ToAddress->text().toStdString(),
                      Edit_ToCarbonCopy->text().toStdString(),
                      Edit_ToBlindCarbonCopy->text().toStdString(),
                      Edit_kenmei->text().toStdString(),
                      {}};
    for (const QString& line : MemoLines())
        text.Body.push_back(line.toStdString());
    return text;
}

std::vector<std::string> TFrmMain::AttachmentPaths() const {
    return Attachments->Paths();
}

void TFrmMain::ClearFields() {
    Edit_ToAddress->clear();
    Edit_ToCarbonCopy->clear();
    Edit_ToBlindCarbonCopy->clear();
    Edit_kenmei->clear();
    Memo1->clear();
    Attachments->Clear();
    Drafts->Sent();
    PutSignature();
}

void TFrmMain::SetAddressFields(const std::string& to, const std::string& cc,
                                const std::string& bcc) {
    Edit_ToAddress->setText(QString::fromStdString(to));
    Edit_ToCarbonCopy->setText(QString::fromStdString(cc));
    Edit_ToBlindCarbonCopy->setText(QString::fromStdString(bcc));
}

// Status texts carry a server's words: shown through the one filter for such text.
void TFrmMain::SetStatusText(const std::string& text) {
    if (StatusPanel)
        StatusPanel->setText(platform::ShownText(text));
}

std::optional<std::string> TFrmMain::AskPassword(const std::string& authUser) {
    if (!Windows.Password)
        return std::nullopt;
    return Windows.Password(authUser, this);
}
