#include "platform/FcitxController.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>

namespace platform {
namespace {

const QString kService = QStringLiteral("org.fcitx.Fcitx5");
const QString kPath = QStringLiteral("/controller");
const QString kInterface = QStringLiteral("org.fcitx.Fcitx.Controller1");

}  // namespace

FcitxController::FcitxController(QObject* parent) : QObject(parent) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return;
    // fcitx5 may start, end or be replaced while the program runs.
    auto* watcher =
        new QDBusServiceWatcher(kService, bus, QDBusServiceWatcher::WatchForOwnerChange, this);
    connect(watcher, &QDBusServiceWatcher::serviceOwnerChanged, this,
            [this](const QString&, const QString&, const QString& newOwner) {
                OwnerKnown(!newOwner.isEmpty());
            });
    // Asked without waiting: the first focus may come before the answer, which then makes up
    // for it.
    auto* pending =
        new QDBusPendingCallWatcher(bus.interface()->asyncCall("NameHasOwner", kService), this);
    connect(pending, &QDBusPendingCallWatcher::finished, this,
            [this](QDBusPendingCallWatcher* call) {
                const QDBusPendingReply<bool> reply = *call;
                OwnerKnown(reply.isValid() && reply.value());
                call->deleteLater();
            });
}

void FcitxController::Switch(bool on) {
    wanted_ = on;
    if (owned_)
        Send(on);
}

void FcitxController::OwnerKnown(bool owned) {
    owned_ = owned;
    if (owned_ && wanted_)
        Send(*wanted_);
}

void FcitxController::Send(bool on) {
    QDBusMessage call =
        QDBusMessage::createMethodCall(kService, kPath, kInterface, on ? "Activate" : "Deactivate");
    call.setAutoStartService(false);
    QDBusConnection::sessionBus().send(call);
}

}  // namespace platform
