#include "userdata/FrmTanbun.h"

#include <QEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QStyledItemDelegate>
#include <QToolButton>

#include "platform/Application.h"
#include "platform/CodePage.h"
#include "platform/Exception.h"
#include "userdata/AccessibleNames.h"
#include "userdata/DataFile.h"
#include "userdata/EnterKey.h"
#include "userdata/ListKeys.h"
#include "userdata/WindowFont.h"

using platform::FromSjis;
using platform::Sjis;

namespace {

// Rows of 12 pixels, as dense as the window's font.
class FixedHeightDelegate : public QStyledItemDelegate {
  public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        return {QStyledItemDelegate::sizeHint(option, index).width(), 12};
    }
};

QToolButton* FlatButton(QWidget* parent, const char* caption, int left, int top) {
    auto* button = new QToolButton(parent);
    button->setText(FromSjis(Sjis(caption)));
    button->setGeometry(left, top, 61, 21);
    button->setAutoRaise(true);
    button->setFocusPolicy(Qt::NoFocus);
    return button;
}

// Spaces and control characters count as blank; the full-width space does not.
bool Blank(const std::string& text) {
    for (const char c : text) {
        if (static_cast<unsigned char>(c) > 0x20)
            return false;
    }
    return true;
}

std::string IndexError(int index) {
    std::string text = Sjis("リストのインデックスが範囲を超えています (%d)");
    text.replace(text.find("%d"), 2, std::to_string(index));
    return text;
}

}  // namespace

TFrmTanbun::TFrmTanbun(THandOverFields& FrmMain, QWidget* parent)
    : QDialog(parent), FrmMain(FrmMain), file_(FrmMain.ProgramDir + "tanbun.dat") {
    CreateControls();
    FormCreate();
}

void TFrmTanbun::CreateControls() {
    setWindowTitle(FromSjis(Sjis("短文入力")));
    setFont(userdata::WindowFont());
    setFixedSize(331, 324);

    Panel1 = new QWidget(this);
    Panel1->setGeometry(0, 0, 331, 55);
    Spb_add_tanbun = FlatButton(Panel1, "追加(&A)", 6, 6);
    Spb_del_tanbun = FlatButton(Panel1, "削除(&D)", 6, 28);
    Edit1 = new QLineEdit(Panel1);
    Edit1->setGeometry(70, 6, 245, 20);

    ListBox_Tanbun = new QListWidget(this);
    ListBox_Tanbun->setGeometry(0, 55, 331, 269);
    ListBox_Tanbun->setFrameShape(QFrame::NoFrame);
    ListBox_Tanbun->setItemDelegate(new FixedHeightDelegate(ListBox_Tanbun));
    ListBox_Tanbun->setSelectionMode(QAbstractItemView::SingleSelection);
    // A double click anywhere in the list, on a row or not, chooses.
    ListBox_Tanbun->viewport()->installEventFilter(this);

    connect(Spb_add_tanbun, &QToolButton::clicked, this, &TFrmTanbun::Spb_add_tanbunClick);
    // Enter adds the phrase and empties the input for the next one.
    userdata::OnEnter(Edit1, [this] {
        if (Spb_add_tanbunClick())
            Edit1->clear();
    });
    userdata::SelectCurrentOnFirstStep(ListBox_Tanbun);
    // Enter chooses the selected phrase; with none selected it does nothing (a double click
    // beside the rows reports the missing choice, a key press need not).
    userdata::OnEnter(ListBox_Tanbun, [this] {
        if (ItemIndex() >= 0)
            ListBox_TanbunDblClick();
    });
    connect(Spb_del_tanbun, &QToolButton::clicked, this, &TFrmTanbun::Spb_del_tanbunClick);
    userdata::NameControls(*this);
}

bool TFrmTanbun::eventFilter(QObject* watched, QEvent* event) {
    if (watched == ListBox_Tanbun->viewport() && event->type() == QEvent::MouseButtonDblClick) {
        ListBox_TanbunDblClick();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void TFrmTanbun::FormCreate() {
    ListBox_Tanbun->clear();
    for (const std::string& phrase : file_.Load())
        AddItem(phrase);
}

bool TFrmTanbun::FormClose() {
    std::vector<std::string> phrases;
    for (int i = 0; i < ListBox_Tanbun->count(); ++i) {
        phrases.push_back(ListBox_Tanbun->item(i)->data(Qt::UserRole).toByteArray().toStdString());
    }
    return file_.Save(phrases);
}

void TFrmTanbun::done(int result) {
    if (!FormClose())
        return;
    QDialog::done(result);
}

bool TFrmTanbun::Spb_add_tanbunClick() {
    std::string phrase;
    try {
        phrase = userdata::ToFileText(Edit1->text(), "短文");
    } catch (const std::exception& e) {
        // A character the file cannot hold: say so rather than store something else.
        platform::HandleException(e);
        return false;
    }
    if (Blank(phrase))
        return false;
    AddItem(phrase);
    return true;
}

void TFrmTanbun::Spb_del_tanbunClick() {
    const int index = ItemIndex();
    if (index >= 0)
        delete ListBox_Tanbun->takeItem(index);
}

void TFrmTanbun::ListBox_TanbunDblClick() {
    const int index = ItemIndex();
    if (index < 0) {
        platform::HandleException(EStringListError(IndexError(index)));
        return;
    }
    FrmMain.SelectedTanbun =
        ListBox_Tanbun->item(index)->data(Qt::UserRole).toByteArray().toStdString();
    done(Accepted);
}

int TFrmTanbun::ItemIndex() const {
    const QList<QListWidgetItem*> selected = ListBox_Tanbun->selectedItems();
    return selected.isEmpty() ? -1 : ListBox_Tanbun->row(selected.first());
}

// The item keeps the phrase's own bytes; its text is only what the screen can show.
void TFrmTanbun::AddItem(const std::string& phrase) {
    auto* item = new QListWidgetItem(FromSjis(phrase), ListBox_Tanbun);
    item->setData(Qt::UserRole, QByteArray::fromStdString(phrase));
}
