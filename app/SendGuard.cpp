#include "app/SendGuard.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QToolButton>
#include <set>

#include "app/FrmMain.h"
#include "app/SendConfirmation.h"
#include "platform/CodePage.h"
#include "platform/RegIniFile.h"
#include "userdata/ComposePages.h"
#include "userdata/RecentRecipients.h"

namespace {

QString LowerAddress(const std::string& address) {
    return QString::fromStdString(address).toCaseFolded();
}

}  // namespace

TSendGuard::TSendGuard(TFrmMain& FrmMain, TSendFlow& SendFlow)
    : RunConfirmation([](TSendConfirmation& box) { return box.exec() == QDialog::Accepted; }),
      Attachments([] { return QStringList(); }),
      Delay(&FrmMain, FrmMain.StatusBar1,
            [&FrmMain](const QString& text) {
                if (FrmMain.StatusPanel)
                    FrmMain.StatusPanel->setText(text);
            }),
      FrmMain(FrmMain),
      SendFlow(SendFlow) {}

void TSendGuard::Send() {
    if (Delay.Running())
        return;  // already on its way
    const userdata::TComposeSettings settings = userdata::ReadComposeSettings();
    // An empty To is the send flow's to report, at once.
    if (!FrmMain.ToAddressEmpty() && settings.ConfirmSend) {
        const std::string sender = TRegIniFile().ReadString("Settings", "Email", "");
        if (!Confirmed(OwnDomains(platform::FromSjis(sender),
                                  QString::fromStdString(settings.OwnDomains))))
            return;
    }
    if (FrmMain.ToAddressEmpty() || settings.SendDelay == 0) {
        SendNow();
        return;
    }
    Delay.Start(
        settings.SendDelay, [this] { SendNow(); }, [this](bool locked) { Lock(locked); });
}

bool TSendGuard::Confirmed(const QStringList& ownDomains) {
    TSendConfirmation box(
        ConfirmRows(FrmMain.Edit_ToAddress->text(), FrmMain.Edit_ToCarbonCopy->text(),
                    FrmMain.Edit_ToBlindCarbonCopy->text(), ownDomains),
        Attachments(), &FrmMain);
    return RunConfirmation(box);
}

void TSendGuard::SendNow() {
    const std::vector<TAddressPiece> before = Recipients();
    SendFlow.Send();
    const TSendOutcome outcome = SendFlow.LastOutcome();
    if (outcome == TSendOutcome::Sent || outcome == TSendOutcome::SentToSome)
        Remember(before);
}

// While the wait runs, the message stays as the user confirmed it.
void TSendGuard::Lock(bool locked) {
    for (QLineEdit* edit : {FrmMain.Edit_ToAddress, FrmMain.Edit_ToCarbonCopy,
                            FrmMain.Edit_ToBlindCarbonCopy, FrmMain.Edit_kenmei})
        edit->setReadOnly(locked);
    FrmMain.Memo1->setReadOnly(locked);
    for (QToolButton* button : {FrmMain.Spb_Addless, FrmMain.Spb_CC, FrmMain.Spb_BCC,
                                FrmMain.SpeedButton2, FrmMain.SpeedButton3})
        button->setEnabled(!locked);
    for (QAction* action :
         {FrmMain.Action_Send, FrmMain.Action_addless, FrmMain.Action_Tanbun_open})
        action->setEnabled(!locked);
}

std::vector<TAddressPiece> TSendGuard::Recipients() const {
    std::vector<TAddressPiece> pieces;
    for (const QLineEdit* field :
         {FrmMain.Edit_ToAddress, FrmMain.Edit_ToCarbonCopy, FrmMain.Edit_ToBlindCarbonCopy}) {
        for (TAddressPiece& piece : AddressPieces(field->text().toStdString()))
            pieces.push_back(std::move(piece));
    }
    return pieces;
}

// The fields keep the refused entries after a send: whatever left them was reached.
void TSendGuard::Remember(const std::vector<TAddressPiece>& before) {
    std::set<QString> refused;
    for (const TAddressPiece& piece : Recipients())
        refused.insert(LowerAddress(piece.Address));
    std::vector<userdata::TRecentRecipient> reached;
    for (const TAddressPiece& piece : before) {
        if (!refused.contains(LowerAddress(piece.Address)))
            reached.push_back({piece.Address, piece.Text});
    }
    try {
        userdata::TRecentRecipients(FrmMain.ProgramDir).Add(reached);
    } catch (const std::exception& e) {
        FrmMain.SetStatusText(e.what());  // the message went; only the list of recents missed it
    }
}
