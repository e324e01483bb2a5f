#include "app/SendConfirmation.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollArea>
#include <QVBoxLayout>
#include <algorithm>

#include "app/AddressPieces.h"
#include "userdata/WindowFont.h"

namespace {

QString Text(const char* utf8) {
    return QString::fromUtf8(utf8);
}

QString DomainOf(const QString& address) {
    const qsizetype at = address.lastIndexOf('@');
    if (at < 0)
        return {};
    QString domain = address.mid(at + 1).trimmed().toLower();
    while (domain.endsWith('.'))
        domain.chop(1);
    return domain;
}

const char* const kOutsideColour = "color: #c00000;";

}  // namespace

QStringList OwnDomains(const QString& senderEmail, const QString& listed) {
    QStringList own;
    if (const QString sender = DomainOf(senderEmail); !sender.isEmpty())
        own << sender;
    for (QString domain : listed.split(QRegularExpression("[\\s,;]+"), Qt::SkipEmptyParts)) {
        while (domain.startsWith('@'))
            domain.remove(0, 1);
        if (!domain.isEmpty())
            own << domain.toLower();
    }
    return own;
}

// A domain is the user's own only as a whole: a subdomain or a look-alike counts as outside,
// since a wrong tick there is the mistake this box exists to catch.
bool OutsideDomains(const QString& address, const QStringList& own) {
    const QString domain = DomainOf(address);
    return domain.isEmpty() || !own.contains(domain);
}

std::vector<TConfirmRow> ConfirmRows(const QString& to, const QString& cc, const QString& bcc,
                                     const QStringList& own) {
    std::vector<TConfirmRow> rows;
    const std::pair<const char*, const QString&> fields[] = {
        {"宛先", to}, {"CC", cc}, {"BCC", bcc}};
    for (const auto& [field, text] : fields) {
        for (const TAddressPiece& piece : AddressPieces(text.toStdString())) {
            rows.push_back({Text(field), QString::fromStdString(piece.Text),
                            OutsideDomains(QString::fromStdString(piece.Address), own)});
        }
    }
    return rows;
}

TSendConfirmation::TSendConfirmation(const std::vector<TConfirmRow>& rows,
                                     const QStringList& attachments, QWidget* parent)
    : QDialog(parent), Label_attachments(nullptr) {
    setWindowTitle(Text("送信前の確認"));
    setFont(userdata::WindowFont());
    auto* layout = new QVBoxLayout(this);
    Label_guide =
        new QLabel(Text("次の宛先に送信します。宛先をひとつずつ確かめてチェックを入れてください。"
                        "すべてにチェックを入れると送信できます。"),
                   this);
    Label_guide->setWordWrap(true);
    layout->addWidget(Label_guide);
    layout->addWidget(CreateList(rows), 1);
    if (!attachments.isEmpty()) {
        Label_attachments = new QLabel(Text("添付ファイル: ") + attachments.join(Text("、")), this);
        Label_attachments->setWordWrap(true);
        layout->addWidget(Label_attachments);
    }
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    Button_send = new QPushButton(Text("送信(&S)"), this);
    Button_cancel = new QPushButton(Text("キャンセル"), this);
    buttons->addWidget(Button_send);
    buttons->addWidget(Button_cancel);
    layout->addLayout(buttons);
    connect(Button_send, &QPushButton::clicked, this, &QDialog::accept);
    connect(Button_cancel, &QPushButton::clicked, this, &QDialog::reject);
    EnableSend();
    resize(std::max(sizeHint().width(), 420), std::min(sizeHint().height(), 480));
    if (!CheckBoxes.empty())
        CheckBoxes.front()->setFocus();
}

QWidget* TSendConfirmation::CreateList(const std::vector<TConfirmRow>& rows) {
    auto* list = new QWidget;
    auto* grid = new QGridLayout(list);
    grid->setColumnStretch(1, 1);
    for (const TConfirmRow& row : rows) {
        const int line = static_cast<int>(CheckBoxes.size());
        grid->addWidget(new QLabel(row.Field, list), line, 0);
        auto* check = new QCheckBox(row.Text, list);
        check->setAccessibleName(row.Field + ' ' + row.Text +
                                 (row.Outside ? Text(" 社外") : QString()));
        grid->addWidget(check, line, 1);
        QLabel* outside = nullptr;
        if (row.Outside) {
            check->setStyleSheet(kOutsideColour);
            outside = new QLabel(Text("社外"), list);
            outside->setStyleSheet(QString(kOutsideColour) + " font-weight: bold;");
            grid->addWidget(outside, line, 2);
        }
        CheckBoxes.push_back(check);
        Labels_outside.push_back(outside);
        connect(check, &QCheckBox::toggled, this, &TSendConfirmation::EnableSend);
    }
    grid->setRowStretch(static_cast<int>(rows.size()), 1);
    auto* scroll = new QScrollArea(this);
    scroll->setWidget(list);
    scroll->setWidgetResizable(true);
    scroll->setAccessibleName(Text("宛先の一覧"));
    return scroll;
}

void TSendConfirmation::EnableSend() {
    const bool all = std::all_of(CheckBoxes.begin(), CheckBoxes.end(),
                                 [](const QCheckBox* c) { return c->isChecked(); });
    Button_send->setEnabled(all && !CheckBoxes.empty());
    Button_send->setDefault(all);
}
