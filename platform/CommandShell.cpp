#include "platform/CommandShell.h"

#include <QProcess>
#include <QString>

namespace platform {

void CommandShell::Open(const std::string& address) {
    QProcess::startDetached("xdg-open", {QString::fromStdString(address)});
}

}  // namespace platform
