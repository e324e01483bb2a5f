#include "platform/MessageWait.h"

#include <QCoreApplication>
#include <QPointer>

namespace platform {

void WaitForMessages(unsigned maxMilliseconds) {
    // A timer on a private object bounds the wait; its tick is the event that ends it.
    static QPointer<QObject> waker;
    if (!waker)
        waker = new QObject(QCoreApplication::instance());
    const int timer = waker->startTimer(static_cast<int>(maxMilliseconds), Qt::PreciseTimer);
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    if (timer != 0)
        waker->killTimer(timer);
}

}  // namespace platform
