#include "platform/MessageWait.h"

#include <QCoreApplication>

namespace platform {

void WaitForMessages() {
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
}

}  // namespace platform
