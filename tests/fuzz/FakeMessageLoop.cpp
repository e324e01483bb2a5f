// The message loop of the fuzz targets: the fake socket library answers at once, so waiting
// between polls would only slow the runs down.
#include <QCoreApplication>

#include "platform/MessageLoop.h"
#include "platform/MessageWait.h"

namespace platform {

void ProcessMessages() {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void Sleep(unsigned) {}

// The fake sockets post their notifications at once, so there is never anything to wait for.
void WaitForMessages() {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

}  // namespace platform
