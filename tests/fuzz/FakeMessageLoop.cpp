// The message loop of the fuzz targets: the fake socket library answers at once, so waiting
// between polls would only slow the runs down.
#include <QCoreApplication>

#include "platform/MessageLoop.h"

namespace platform {

void ProcessMessages() {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void Sleep(unsigned) {}

}  // namespace platform
