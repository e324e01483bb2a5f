#include "userdata/FrmAddress.h"

#include <QFrame>
#include <QHeaderView>
#include <QToolButton>
#include <QTreeWidget>

#include "platform/CodePage.h"
#include "platform/MessageBoxes.h"
#include "userdata/AccessibleNames.h"
#include "userdata/ButtonIcons.h"
#include "userdata/EnterKey.h"
#include "userdata/FrmAddAddless.h"
#include "userdata/WindowFont.h"

using platform::FromSjis;
using platform::Sjis;

namespace {

constexpr int kName = 0;
constexpr int kAddless = 1;

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
      file_(FrmMain.ProgramDir + "Address.dat") {
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
    ListView_Main->setSelectionMode(QAbstractItemView::SingleSelection);
    ListView_Main->setSelectionBehavior(QAbstractItemView::SelectRows);
    ListView_Main->setAllColumnsShowFocus(true);

    connect(Spb_Mail, &QToolButton::clicked, this, &TFrmAddress::Spb_MailClick);
    connect(SpeedButton1, &QToolButton::clicked, this, &TFrmAddress::SpeedButton1Click);
    connect(Spb_edit, &QToolButton::clicked, this, &TFrmAddress::Spb_editClick);
    connect(Spb_Del, &QToolButton::clicked, this, &TFrmAddress::Spb_DelClick);
    connect(ListView_Main, &QTreeWidget::itemDoubleClicked, this, &TFrmAddress::Spb_MailClick);
    userdata::OnEnter(ListView_Main, [this] { Spb_MailClick(); });
    connect(ListView_Main, &QTreeWidget::itemSelectionChanged, this,
            &TFrmAddress::ListView_MainSelectItem);
    userdata::NameControls(*this);
}

void TFrmAddress::FormCreate() {
    ListView_Main->clear();
    const std::vector<std::string> lines = file_.Load();
    // Two lines an entry; a name on the last line gets an empty address.
    for (size_t i = 0; i < lines.size(); i += 2) {
        AddRow(lines[i], i + 1 < lines.size() ? lines[i + 1] : std::string());
    }
}

bool TFrmAddress::FormClose() {
    std::vector<std::string> lines;
    for (int i = 0; i < ListView_Main->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* row = ListView_Main->topLevelItem(i);
        lines.push_back(Raw(row, kName));
        lines.push_back(Raw(row, kAddless));
    }
    return file_.Save(lines);
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
            AddRow(PendingName, PendingAddless);
        }
    }
    PendingName.clear();
    PendingAddless.clear();
}

void TFrmAddress::Spb_editClick() {
    if (QTreeWidgetItem* row = Selected()) {
        PendingName = Raw(row, kName);
        PendingAddless = Raw(row, kAddless);
    }
    ShowAddDialog();
    if (QTreeWidgetItem* row = Selected()) {
        SetCell(row, kName, PendingName);
        SetCell(row, kAddless, PendingAddless);
    }
    PendingName.clear();
    PendingAddless.clear();
}

void TFrmAddress::Spb_DelClick() {
    delete Selected();
}

void TFrmAddress::Spb_MailClick() {
    const QTreeWidgetItem* row = Selected();
    if (!row)
        return;
    FrmMain.SelectedAddless = Raw(row, kAddless);
    done(Accepted);
}

void TFrmAddress::ListView_MainSelectItem() {
    Spb_Mail->setEnabled(true);
    Spb_edit->setEnabled(true);
    Spb_Del->setEnabled(true);
}

QTreeWidgetItem* TFrmAddress::Selected() const {
    const QList<QTreeWidgetItem*> rows = ListView_Main->selectedItems();
    return rows.isEmpty() ? nullptr : rows.first();
}

void TFrmAddress::AddRow(const std::string& name, const std::string& address) {
    auto* row = new QTreeWidgetItem(ListView_Main);
    SetCell(row, kName, name);
    SetCell(row, kAddless, address);
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
