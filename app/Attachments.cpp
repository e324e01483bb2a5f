#include "app/Attachments.h"

#include <QAbstractScrollArea>
#include <QClipboard>
#include <QDateTime>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QMimeData>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>

#include "app/Anchors.h"
#include "platform/Application.h"
#include "platform/CodePage.h"
#include "platform/MessageBoxes.h"
#include "smtp/ZelAttach.h"
#include "smtp/Zelsmtp.h"

using platform::FromSjis;
using platform::Sjis;

namespace {

constexpr int kVisibleRows = 3;
constexpr int kLeastHeight = 42;  // the button and the total beside one row

// Words that promise an attachment, in the subject or the body.
const char* const kPromises[] = {"添付", "attached", "attachment"};

QString Text(const char* utf8) {
    return QString::fromUtf8(utf8);
}

std::string Native(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

QString SizeText(qint64 bytes) {
    if (bytes < 1024)
        return QString::number(bytes) + Text(" バイト");
    if (bytes < 1024 * 1024)
        return QString::number(bytes / 1024.0, 'f', 1) + " KB";
    return QString::number(bytes / (1024.0 * 1024.0), 'f', 1) + " MB";
}

// What the files add to the message on the wire: base64 lines of 76 characters and CR LF for
// every 57 bytes, and a part header.
qint64 EncodedBytes(qint64 bytes) {
    return (bytes + 56) / 57 * 78 + 400;
}

// The local files a drop or a paste carries; empty when it carries anything else.
QStringList LocalFiles(const QMimeData& data) {
    QStringList files;
    for (const QUrl& url : data.urls()) {
        if (!url.isLocalFile())
            return {};
        files << url.toLocalFile();
    }
    return files;
}

bool CarriesAttachment(const QMimeData& data) {
    return !LocalFiles(data).isEmpty() || (data.hasImage() && !data.hasText());
}

// Boxes speak Shift_JIS: a character of a file name that code page 932 lacks shows as its code
// point, so the name is still told, not mangled.
std::string Shown(const QString& text) {
    std::string shown;
    for (const char32_t c : text.toUcs4()) {
        try {
            shown += platform::ToSjis(QString::fromUcs4(&c, 1));
        } catch (const ECodePageError&) {
            shown += "<" + platform::CodePointName(c) + ">";
        }
    }
    return shown;
}

void Tell(const QString& text) {
    platform::ShowMessage(Shown(text));
}

}  // namespace

TAttachmentList::TAttachmentList(QWidget* Memo, std::string DataDir)
    : QWidget(Memo->parentWidget()),
      memo_(Memo),
      bodyPlace_(Memo->geometry()),
      dataDir_(std::move(DataDir)) {
    ChooseFiles = [](QWidget* owner) {
        return QFileDialog::getOpenFileNames(owner, Text("添付するファイル"));
    };
    ServerLimit = [] { return int64_t{0}; };
    List = new QListWidget(this);
    List->setSelectionMode(QAbstractItemView::ExtendedSelection);
    List->installEventFilter(this);
    RemoveButton = new QToolButton(this);
    RemoveButton->setText(Text("削除"));
    RemoveButton->setToolTip(Text("選んだ添付ファイルを外す (Delete)"));
    auto* total = new QLabel(this);
    total->setObjectName("AttachmentTotal");
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(RemoveButton);
    buttons->addWidget(total);
    buttons->addStretch();
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(2, 0, 2, 2);
    row->addWidget(List, 1);
    row->addLayout(buttons);
    connect(RemoveButton, &QToolButton::clicked, this, &TAttachmentList::RemoveSelected);
    setGeometry(bodyPlace_.x(), bodyPlace_.y(), bodyPlace_.width(), 0);
    SetAnchors(this, akLeft | akTop | akRight);
    hide();
}

std::vector<std::string> TAttachmentList::Paths() const {
    std::vector<std::string> paths;
    for (int i = 0; i < List->count(); ++i)
        paths.push_back(Native(List->item(i)->data(Qt::UserRole).toString()));
    return paths;
}

qint64 TAttachmentList::TotalBytes() const {
    qint64 total = 0;
    for (int i = 0; i < List->count(); ++i)
        total += QFileInfo(List->item(i)->data(Qt::UserRole).toString()).size();
    return total;
}

void TAttachmentList::AddFiles(const QStringList& Paths) {
    const qint64 before = MessageBytes();
    QStringList refused;
    for (const QString& path : Paths) {
        if (AttachableFile(Native(path)))
            Add(path);
        else
            refused << path;
    }
    Update();
    if (!refused.isEmpty()) {
        Tell(Text("次のファイルは添付できません（見つからないか、読めないか、ファイルではありま"
                  "せん）：\n") +
             refused.join('\n'));
    }
    WarnAboutSize(before);
}

// The same file twice is a slip, not a wish.
void TAttachmentList::Add(const QString& Path) {
    const QString path = QFileInfo(Path).absoluteFilePath();
    for (int i = 0; i < List->count(); ++i) {
        if (List->item(i)->data(Qt::UserRole).toString() == path)
            return;
    }
    const QString name = QString::fromStdString(AttachmentName(Native(path)));
    auto* item = new QListWidgetItem(name + "  (" + SizeText(QFileInfo(path).size()) + ")", List);
    item->setData(Qt::UserRole, path);
    item->setToolTip(path);
}

void TAttachmentList::AddImage(const QImage& Image) {
    const QString dir = QString::fromStdString(dataDir_) + "attachments/";
    QDir().mkpath(dir);
    const QString stem = Text("画像_") + QDateTime::currentDateTime().toString("yyyyMMdd-HHmm");
    QString path = dir + stem + ".png";
    for (int n = 2; QFileInfo::exists(path); ++n)
        path = dir + stem + "-" + QString::number(n) + ".png";
    if (!Image.save(path, "PNG")) {
        Tell(Text("貼り付けた画像を保存できませんでした：") + path);
        return;
    }
    AddFiles({path});
}

bool TAttachmentList::AddFrom(const QMimeData& Data) {
    const QStringList files = LocalFiles(Data);
    if (!files.isEmpty()) {
        AddFiles(files);
        return true;
    }
    if (Data.hasImage() && !Data.hasText()) {
        AddImage(qvariant_cast<QImage>(Data.imageData()));
        return true;
    }
    return false;
}

void TAttachmentList::Restore(const std::vector<std::string>& Paths) {
    List->clear();
    QStringList gone;
    for (const std::string& native : Paths) {
        const QString path = QFile::decodeName(QByteArray::fromStdString(native));
        if (AttachableFile(native))
            Add(path);
        else
            gone << path;
    }
    Update();
    if (!gone.isEmpty())
        Tell(Text("下書きの添付ファイルが見つからないので、外しました：\n") + gone.join('\n'));
}

void TAttachmentList::RemoveSelected() {
    QList<QListWidgetItem*> chosen = List->selectedItems();
    if (chosen.isEmpty() && List->currentItem())
        chosen << List->currentItem();
    for (QListWidgetItem* item : chosen) {
        ForgetPasted(item->data(Qt::UserRole).toString());
        delete item;
    }
    Update();
}

void TAttachmentList::Clear() {
    for (int i = 0; i < List->count(); ++i)
        ForgetPasted(List->item(i)->data(Qt::UserRole).toString());
    List->clear();
    Update();
}

// An image pasted into the window lives only as long as the list holds it.
void TAttachmentList::ForgetPasted(const QString& Path) {
    const QString pasted = QDir(QString::fromStdString(dataDir_) + "attachments").absolutePath();
    if (QFileInfo(Path).absolutePath() == pasted)
        QFile::remove(Path);
}

void TAttachmentList::Choose() {
    AddFiles(ChooseFiles(window()));
}

bool TAttachmentList::ReadyToSend(const QString& SubjectAndBody) {
    if (List->count() == 0) {
        for (const char* word : kPromises) {
            if (!SubjectAndBody.contains(Text(word), Qt::CaseInsensitive))
                continue;
            const auto answer = platform::CurrentMessageBoxes().Show(
                platform::ApplicationTitle(),
                Sjis("「") + platform::ToSjis(Text(word)) +
                    Sjis("」と書いてありますが、添付ファイルがありません。このまま送信しますか？"),
                platform::MsgIcon::Question, platform::MsgButtons::SendBack);
            return answer == platform::MsgResult::Ok;
        }
        return true;
    }
    QStringList gone;
    for (const std::string& path : Paths()) {
        if (!AttachableFile(path))
            gone << QFile::decodeName(QByteArray::fromStdString(path));
    }
    if (gone.isEmpty())
        return true;
    Tell(Text("添付ファイルが見つかりません。外すか、添付し直してね：\n") + gone.join('\n'));
    return false;
}

// Shown while it holds files, in the top of the body's place.
void TAttachmentList::Relayout() {
    const int rows = std::min(List->count(), kVisibleRows);
    const int height =
        rows == 0
            ? 0
            : std::max(kLeastHeight, rows * List->sizeHintForRow(0) + 2 * List->frameWidth() + 2);
    const QRect body = bodyPlace_;
    MoveAnchored(this, QRect(body.x(), body.y(), body.width(), height));
    MoveAnchored(memo_, body.adjusted(0, height, 0, 0));
    setVisible(rows > 0);
}

void TAttachmentList::Update() {
    if (auto* total = findChild<QLabel*>("AttachmentTotal"))
        total->setText(Text("計 ") + SizeText(TotalBytes()));
    RemoveButton->setEnabled(List->count() > 0);
    Relayout();
    emit Changed();
}

// About what the message will weigh on the wire with these files (the text is small beside them).
qint64 TAttachmentList::MessageBytes() const {
    qint64 bytes = 2000;
    for (int i = 0; i < List->count(); ++i)
        bytes += EncodedBytes(QFileInfo(List->item(i)->data(Qt::UserRole).toString()).size());
    return bytes;
}

// Told once, when the files first take the message past what the server took.
void TAttachmentList::WarnAboutSize(qint64 Before) {
    const int64_t limit = ServerLimit ? ServerLimit() : 0;
    const qint64 after = MessageBytes();
    if (limit <= 0 || after <= limit || Before > limit)
        return;
    Tell(Text("添付ファイルを合わせると、メールの大きさは約 ") +
         QString::fromStdString(MegaBytes(after, limit)) +
         Text(" になり、サーバーが受け取れる大きさ ") +
         QString::fromStdString(MegaBytes(limit, after)) +
         Text(" を超えます。このままでは送信できません。"));
}

void TAttachmentList::TakeDropsAndPastes(std::initializer_list<QWidget*> Widgets) {
    for (QWidget* widget : Widgets) {
        widget->installEventFilter(this);
        // A scroll area gets its drops in its viewport.
        if (auto* area = qobject_cast<QAbstractScrollArea*>(widget))
            area->viewport()->installEventFilter(this);
    }
}

bool TAttachmentList::eventFilter(QObject* Watched, QEvent* Event) {
    if (Watched == List && Event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(Event)->key() == Qt::Key_Delete) {
        RemoveSelected();
        return true;
    }
    if (Watched != List && TakeDropOrPaste(Event))
        return true;
    return QWidget::eventFilter(Watched, Event);
}

bool TAttachmentList::TakeDropOrPaste(QEvent* Event) {
    switch (Event->type()) {
        case QEvent::DragEnter:
        case QEvent::DragMove: {
            auto* drag = static_cast<QDragMoveEvent*>(Event);
            if (!drag->mimeData() || !CarriesAttachment(*drag->mimeData()))
                return false;
            drag->acceptProposedAction();
            return true;
        }
        case QEvent::Drop: {
            auto* drop = static_cast<QDropEvent*>(Event);
            if (!drop->mimeData() || !AddFrom(*drop->mimeData()))
                return false;
            drop->acceptProposedAction();
            return true;
        }
        case QEvent::KeyPress: {
            const QMimeData* clipboard = QGuiApplication::clipboard()->mimeData();
            return static_cast<QKeyEvent*>(Event)->matches(QKeySequence::Paste) && clipboard &&
                   AddFrom(*clipboard);
        }
        default:
            return false;
    }
}
