#include "app/DraftKeeper.h"

#include <QEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextDocument>

#include "app/Attachments.h"
#include "app/FrmMain.h"
#include "app/MailtoLink.h"
#include "platform/Application.h"
#include "platform/CodePage.h"
#include "platform/MessageBoxes.h"
#include "userdata/LineFile.h"

namespace {

std::string Utf8(const QString& text) {
    return text.toStdString();
}

QString Text(const std::string& utf8) {
    return QString::fromStdString(utf8);
}

// The body as typed: the plain text would turn a no-break space into a space.
QString BodyText(const QPlainTextEdit& memo) {
    return memo.document()->toRawText().replace(QChar::ParagraphSeparator, '\n');
}

// A draft fills the fields as a link would: blanks collapsed, and whole or not at all.
bool TakesDraft(platform::TDraft& draft) {
    CollapseBlanks(draft);
    try {
        CheckFieldLengths(draft);
        return true;
    } catch (const EFillError&) {
        return false;
    }
}

// The files in the drafts directory that were left alone, named once, a few at most.
std::string SkippedNote(const std::vector<std::string>& names) {
    constexpr size_t kNamed = 3;
    std::string note = "下書きとして読めないファイルをそのままにしました: ";
    for (size_t i = 0; i < names.size() && i < kNamed; ++i)
        note += (i > 0 ? ", " : "") + names[i];
    if (names.size() > kNamed)
        note += " ほか " + std::to_string(names.size() - kNamed) + " 件";
    return platform::Utf8ToSjisLossy(note);
}

}  // namespace

std::unique_ptr<platform::TDraftStore> DraftFilesIn(const std::string& dataDir) {
    return std::make_unique<platform::TDraftFiles>(dataDir + "drafts/",
                                                   userdata::ReplacePrivateFile);
}

TDraftKeeper::TDraftKeeper(TFrmMain& FrmMain, std::unique_ptr<platform::TDraftStore> store)
    : FrmMain(FrmMain), store_(std::move(store)) {
    pause_.setSingleShot(true);
    pause_.setInterval(kSaveDelayMs);
    connect(&pause_, &QTimer::timeout, this, &TDraftKeeper::SaveAfterPause);
    for (QLineEdit* edit : {FrmMain.Edit_ToAddress, FrmMain.Edit_ToCarbonCopy,
                            FrmMain.Edit_ToBlindCarbonCopy, FrmMain.Edit_kenmei}) {
        connect(edit, &QLineEdit::textChanged, this, &TDraftKeeper::Edited);
    }
    connect(FrmMain.Memo1, &QPlainTextEdit::textChanged, this, &TDraftKeeper::Edited);
    connect(FrmMain.Attachments, &TAttachmentList::Changed, this, &TDraftKeeper::Edited);
    FrmMain.installEventFilter(this);
}

// Nobody could be told of a failure any more: the draft of the last pause is what remains.
TDraftKeeper::~TDraftKeeper() {
    if (!pause_.isActive())
        return;
    try {
        SaveNow();
    } catch (const std::exception&) {
    }
}

platform::TDraft TDraftKeeper::Fields() const {
    return {Utf8(FrmMain.Edit_ToAddress->text()),
            Utf8(FrmMain.Edit_ToCarbonCopy->text()),
            Utf8(FrmMain.Edit_ToBlindCarbonCopy->text()),
            Utf8(FrmMain.Edit_kenmei->text()),
            Utf8(BodyText(*FrmMain.Memo1)),
            FrmMain.Attachments->Paths()};
}

void TDraftKeeper::Fill(const platform::TDraft& draft) {
    FrmMain.Edit_ToAddress->setText(Text(draft.To));
    FrmMain.Edit_ToCarbonCopy->setText(Text(draft.Cc));
    FrmMain.Edit_ToBlindCarbonCopy->setText(Text(draft.Bcc));
    FrmMain.Edit_kenmei->setText(Text(draft.Subject));
    FrmMain.Memo1->setPlainText(Text(draft.Body));
    FrmMain.Attachments->Restore(draft.Attachments);
}

bool TDraftKeeper::Restore() {
    const std::optional<platform::TDraft> draft = store_->Adopt(TakesDraft);
    std::string status = draft ? platform::Sjis("前回の下書きを戻しました。") : std::string();
    if (const std::vector<std::string> skipped = store_->Skipped(); !skipped.empty())
        status += SkippedNote(skipped);
    if (draft)
        Fill(*draft);
    if (!status.empty())
        FrmMain.SetStatusText(status);
    return draft.has_value();
}

void TDraftKeeper::Sent() {
    Forget();
}

void TDraftKeeper::SetUntouchedBody(const QString& body) {
    untouchedBody_ = Utf8(body);
}

bool TDraftKeeper::Blank(const platform::TDraft& draft) const {
    return draft.Empty() || draft == platform::TDraft{{}, {}, {}, {}, untouchedBody_};
}

bool TDraftKeeper::Untouched() const {
    return Blank(Fields());
}

// An empty window has nothing to keep; its draft, if the user emptied the fields, goes too.
void TDraftKeeper::SaveNow() {
    pause_.stop();
    const platform::TDraft draft = Fields();
    if (Blank(draft))
        store_->Remove();
    else
        store_->Save(draft);
}

// While the user types, a failure is told in the status bar, not in a box at every pause.
void TDraftKeeper::SaveAfterPause() {
    try {
        SaveNow();
    } catch (const std::exception& e) {
        FrmMain.SetStatusText(e.what());
    }
}

// Text typed after an answer to the question is a new question's matter.
void TDraftKeeper::Edited() {
    closing_ = false;
    pause_.start();
}

void TDraftKeeper::Forget() {
    pause_.stop();
    store_->Remove();
}

bool TDraftKeeper::MayClose() {
    if (closing_)
        return true;
    if (Untouched()) {
        Forget();
        return true;
    }
    closing_ = AskBeforeClosing();
    return closing_;
}

bool TDraftKeeper::AskBeforeClosing() {
    const platform::MsgResult answer = platform::CurrentMessageBoxes().Show(
        platform::ApplicationTitle(),
        platform::Sjis("送信していない内容があります。下書きに保存して終了しますか？"),
        platform::MsgIcon::Question, platform::MsgButtons::SaveDiscardCancel);
    if (answer == platform::MsgResult::Discard) {
        Forget();
        return true;
    }
    if (answer != platform::MsgResult::Save)
        return false;
    // A draft that could not be saved keeps the window open: the text is still there.
    try {
        SaveNow();
        return true;
    } catch (const std::exception& e) {
        platform::HandleException(e);
        return false;
    }
}

bool TDraftKeeper::eventFilter(QObject* watched, QEvent* event) {
    if (watched == &FrmMain && event->type() == QEvent::Close && !MayClose()) {
        event->ignore();
        return true;
    }
    return QObject::eventFilter(watched, event);
}
