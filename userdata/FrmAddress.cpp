#include "userdata/FrmAddress.h"

#include <QFrame>
#include <QHeaderView>
#include <QToolButton>
#include <QTreeWidget>
#include <filesystem>

#include "platform/CodePage.h"
#include "platform/MessageBoxes.h"
#include "userdata/AccessibleNames.h"
#include "userdata/ButtonIcons.h"
#include "userdata/EnterKey.h"
#include "userdata/FrmAddAddless.h"
#include "userdata/ListKeys.h"
#include "userdata/WindowFont.h"

using platform::FromSjis;
using platform::Sjis;

namespace {

constexpr int kName = 0;
constexpr int kAddless = 1;
// The reading rides on the name's cell.
constexpr int kReadingRole = Qt::UserRole + 1;

// The bytes of a cell as they came from the file or the dialog; the shown text may differ.
std::string Raw(const QTreeWidgetItem* row, int column) {
    return row->data(column, Qt::UserRole).toByteArray().toStdString();
}

void SetCell(QTreeWidgetItem* row, int column, const std::string& text) {
    row->setText(column, FromSjis(text));
    row->setData(column, Qt::UserRole, QByteArray::fromStdString(text));
}

QToolButton* FlatButton(QWidget* parent, const char* caption, int left, int width) {
    auto* button = new QToolButton(parent);
    button->setText(FromSjis(Sjis(caption)));
    button->setGeometry(left, 4, width, 21);
    button->setAutoRaise(true);
    button->setFocusPolicy(Qt::NoFocus);
    button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    return button;
}

}  // namespace

TFrmAddress::TFrmAddress(THandOverFields& FrmMain, QWidget* parent)
    : QDialog(parent),
      RunAddDialog([](TFrm_Add_Addless& dialog) { dialog.exec(); }),
      FrmMain(FrmMain),
      file_(FrmMain.ProgramDir + userdata::kAddressFile),
      readings_(FrmMain.ProgramDir + userdata::kReadingFile) {
    CreateControls();
    FormCreate();
}

TFrmAddress::~TFrmAddress() = default;

void TFrmAddress::CreateControls() {
    setWindowTitle(FromSjis(Sjis("アドレス帳")));
    setFont(userdata::WindowFont());
    setFixedSize(425, 362);

    ToolBar1 = new QWidget(this);
    ToolBar1->setGeometry(0, 0, 425, 29);
    Spb_Mail = FlatButton(ToolBar1, "メールへ入力", 2, 97);
    Spb_Mail->setIcon(userdata::LetterIcon());
    Bevel1 = new QFrame(ToolBar1);
    Bevel1->setFrameShape(QFrame::VLine);
    Bevel1->setFrameShadow(QFrame::Sunken);
    Bevel1->setGeometry(101, 4, 5, 21);
    SpeedButton1 = FlatButton(ToolBar1, "アドレスの追加", 108, 115);
    SpeedButton1->setIcon(userdata::AddIcon());
    Spb_edit = FlatButton(ToolBar1, "アドレスの編集", 225, 93);
    Spb_Del = FlatButton(ToolBar1, "アドレスの削除", 320, 93);
    // Enabled at the first change of selection and never disabled again.
    Spb_Mail->setEnabled(false);
    Spb_edit->setEnabled(false);
    Spb_Del->setEnabled(false);

    ListView_Main = new QTreeWidget(this);
    ListView_Main->setGeometry(0, 29, 425, 333);
    ListView_Main->setColumnCount(2);
    ListView_Main->setHeaderLabels({FromSjis(Sjis("名前")), FromSjis(Sjis("メールアドレス"))});
    ListView_Main->header()->setStretchLastSection(false);
    ListView_Main->setColumnWidth(kName, 150);
    ListView_Main->setColumnWidth(kAddless, 200);
    ListView_Main->setRootIsDecorated(false);
    // Several rows may go to the field at once (Ctrl/Shift-click).
    ListView_Main->setSelectionMode(QAbstractItemView::ExtendedSelection);
    ListView_Main->setSelectionBehavior(QAbstractItemView::SelectRows);
    ListView_Main->setAllColumnsShowFocus(true);

    connect(Spb_Mail, &QToolButton::clicked, this, &TFrmAddress::Spb_MailClick);
    connect(SpeedButton1, &QToolButton::clicked, this, &TFrmAddress::SpeedButton1Click);
    connect(Spb_edit, &QToolButton::clicked, this, &TFrmAddress::Spb_editClick);
    connect(Spb_Del, &QToolButton::clicked, this, &TFrmAddress::Spb_DelClick);
    connect(ListView_Main, &QTreeWidget::itemDoubleClicked, this, &TFrmAddress::Spb_MailClick);
    userdata::OnEnter(ListView_Main, [this] { PickCurrentRow(); });
    userdata::SelectCurrentOnFirstStep(ListView_Main);
    userdata::AddKey(
        this, Qt::Key_Insert, [this] { SpeedButton1Click(); }, SpeedButton1);
    userdata::AddKey(
        this, Qt::Key_F2, [this] { Spb_editClick(); }, Spb_edit);
    userdata::AddKey(
        this, QKeySequence::Delete, [this] { Spb_DelClick(); }, Spb_Del);
    connect(ListView_Main, &QTreeWidget::itemSelectionChanged, this,
            &TFrmAddress::ListView_MainSelectItem);
    userdata::NameControls(*this);
}

void TFrmAddress::FormCreate() {
    ListView_Main->clear();
    const std::vector<std::string> lines = file_.Load();
    for (const userdata::TBookEntry& entry : userdata::BookEntries(lines, LoadReadings()))
        AddRow(entry);
}

// A book without readings has no file of them, and needs none.
std::vector<std::string> TFrmAddress::LoadReadings() {
    if (!std::filesystem::exists(readings_.Path()))
        return {};
    return readings_.Load();
}

bool TFrmAddress::FormClose() {
    std::vector<std::string> lines;
    std::vector<userdata::TBookEntry> entries;
    for (int i = 0; i < ListView_Main->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* row = ListView_Main->topLevelItem(i);
        lines.push_back(Raw(row, kName));
        lines.push_back(Raw(row, kAddless));
        entries.push_back({Raw(row, kName), Raw(row, kAddless),
                           row->data(kName, kReadingRole).toByteArray().toStdString()});
    }
    const std::vector<std::string> readings = userdata::ReadingLines(entries);
    const bool readingsKept = (readings.empty() && !std::filesystem::exists(readings_.Path())) ||
                              readings_.Save(readings);
    return file_.Save(lines) && readingsKept;
}

void TFrmAddress::done(int result) {
    if (!FormClose())
        return;
    QDialog::done(result);
}

void TFrmAddress::SpeedButton1Click() {
    ShowAddDialog();
    if (!PendingName.empty()) {
        if (NameRegistered(PendingName)) {
            platform::ShowMessage(PendingName + Sjis(" は既に登録されてます。"),
                                  platform::MsgIcon::Warning);
        } else {
            AddRow({PendingName, PendingAddless, PendingYomi});
        }
    }
    PendingName.clear();
    PendingAddless.clear();
    PendingYomi.clear();
}

void TFrmAddress::Spb_editClick() {
    if (QTreeWidgetItem* row = Selected()) {
        PendingName = Raw(row, kName);
        PendingAddless = Raw(row, kAddless);
        PendingYomi = row->data(kName, kReadingRole).toByteArray().toStdString();
    }
    ShowAddDialog();
    if (QTreeWidgetItem* row = Selected()) {
        SetCell(row, kName, PendingName);
        SetCell(row, kAddless, PendingAddless);
        row->setData(kName, kReadingRole, QByteArray::fromStdString(PendingYomi));
    }
    PendingName.clear();
    PendingAddless.clear();
    PendingYomi.clear();
}

void TFrmAddress::Spb_DelClick() {
    qDeleteAll(ListView_Main->selectedItems());
}

void TFrmAddress::Spb_MailClick() {
    if (!Selected())
        return;
    std::string picked;
    for (int i = 0; i < ListView_Main->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* row = ListView_Main->topLevelItem(i);
        if (row->isSelected() && !Raw(row, kAddless).empty())
            picked += (picked.empty() ? "" : ", ") + Raw(row, kAddless);
    }
    FrmMain.SelectedAddless = picked;
    done(Accepted);
}

// Enter picks the row the list marks, selected or not.
void TFrmAddress::PickCurrentRow() {
    QTreeWidgetItem* current = ListView_Main->currentItem();
    if (!Selected() && current)
        current->setSelected(true);
    Spb_MailClick();
}

void TFrmAddress::ListView_MainSelectItem() {
    Spb_Mail->setEnabled(true);
    Spb_edit->setEnabled(true);
    Spb_Del->setEnabled(true);
}

// The current row when it is among the selected ones, else the first selected.
QTreeWidgetItem* TFrmAddress::Selected() const {
    QTreeWidgetItem* current = ListView_Main->currentItem();
    if (current && current->isSelected())
        return current;
    const QList<QTreeWidgetItem*> rows = ListView_Main->selectedItems();
    return rows.isEmpty() ? nullptr : rows.first();
}

void TFrmAddress::AddRow(const userdata::TBookEntry& entry) {
    auto* row = new QTreeWidgetItem(ListView_Main);
    SetCell(row, kName, entry.Name);
    SetCell(row, kAddless, entry.Addless);
    row->setData(kName, kReadingRole, QByteArray::fromStdString(entry.Reading));
}

void TFrmAddress::ShowAddDialog() {
    TFrm_Add_Addless dialog(*this, this);
    RunAddDialog(dialog);
}

// Whole names, letter case ignored.
bool TFrmAddress::NameRegistered(const std::string& name) const {
    const QString wanted = FromSjis(name);
    for (int i = 0; i < ListView_Main->topLevelItemCount(); ++i) {
        const QString present = FromSjis(Raw(ListView_Main->topLevelItem(i), kName));
        if (present.compare(wanted, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}
