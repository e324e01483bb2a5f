#include "platform/MessageLoop.h"

#include <QCoreApplication>
#include <QThread>

namespace platform {

void ProcessMessages() {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void Sleep(unsigned milliseconds) {
    QThread::msleep(milliseconds);
}

}  // namespace platform
