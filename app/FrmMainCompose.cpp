// What the compose window offers while the user writes: completion in the address fields, the
// signature below the body, and the guard around the send button.
#include <QAbstractItemView>
#include <QCompleter>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextCursor>

#include "app/AddressCompleter.h"
#include "app/DraftKeeper.h"
#include "app/FrmMain.h"
#include "app/SendGuard.h"
#include "app/Signature.h"
#include "userdata/AddressBook.h"
#include "userdata/RecentRecipients.h"

void TFrmMain::CreateComposeHelpers() {
    const auto choices = [this] {
        return CompletionChoices(userdata::TRecentRecipients(ProgramDir).Load(),
                                 userdata::ReadAddressBook(ProgramDir));
    };
    const std::pair<QLineEdit*, const char*> fields[] = {{Edit_ToAddress, "宛先の候補"},
                                                         {Edit_ToCarbonCopy, "ＣＣの候補"},
                                                         {Edit_ToBlindCarbonCopy, "ＢＣＣの候補"}};
    for (const auto& [field, popupName] : fields) {
        auto* completer = new TAddressCompleter(field, choices);
        completer->Completer->popup()->setAccessibleName(QString::fromUtf8(popupName));
    }
    SendGuard = std::make_unique<TSendGuard>(*this, *SendFlow);
}

void TFrmMain::ShowSignature() {
    Signature = StoredSignature();
    PutSignature();
}

// The signature as last read: a send empties the fields without asking the settings again.
void TFrmMain::PutSignature() {
    Drafts->SetUntouchedBody(SignedBody(QString(), Signature));
    const QString body = Memo1->toPlainText();
    const QString signedBody = SignedBody(body, Signature);
    if (signedBody == body)
        return;
    Memo1->setPlainText(signedBody);
    // The user writes above the signature.
    Memo1->setTextCursor(QTextCursor(Memo1->document()));
}

// A window nobody has written in yet shows the signature as it now stands; any other gets it with
// the next message.
void TFrmMain::RefreshSignature() {
    const bool untouched = Drafts->Untouched();
    Signature = StoredSignature();
    if (!untouched) {
        Drafts->SetUntouchedBody(SignedBody(QString(), Signature));
        return;
    }
    Memo1->clear();
    PutSignature();
}
