#pragma once
// What the compose window's send button does around the send flow: where the user asked for it,
// the list of recipients to confirm and the wait in which the send can be taken back; after a
// send, the recipients it reached go to the recent recipients that completion offers. The
// command-line sender drives the send flow directly and meets none of this.
#include <QStringList>
#include <functional>
#include <vector>

#include "app/AddressPieces.h"
#include "app/DelayedSend.h"

class TFrmMain;
class TSendConfirmation;
class TSendFlow;

class TSendGuard {
  public:
    TSendGuard(TFrmMain& FrmMain, TSendFlow& SendFlow);

    // The send button. Settings that cannot be read leave as an exception.
    void Send();
    // The send itself, and the recording of whom it reached.
    void SendNow();

    // Shows the box modally; true sends. Tests answer it themselves.
    std::function<bool(TSendConfirmation&)> RunConfirmation;
    // The names of the files attached to the message, for the box.
    std::function<QStringList()> Attachments;

    TDelayedSend Delay;

  private:
    bool Confirmed(const QStringList& ownDomains);
    void Lock(bool locked);
    std::vector<TAddressPiece> Recipients() const;
    void Remember(const std::vector<TAddressPiece>& before);

    TFrmMain& FrmMain;
    TSendFlow& SendFlow;
};
