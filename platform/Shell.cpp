#include "platform/Shell.h"

#include <QDesktopServices>
#include <QUrl>

namespace platform {
namespace {

class DesktopShell : public Shell {
  public:
    void Open(const std::string& address) override {
        QDesktopServices::openUrl(QUrl(QString::fromStdString(address)));
    }
};

Shell* installed = nullptr;

}  // namespace

Shell& CurrentShell() {
    static DesktopShell desktop;
    return installed ? *installed : desktop;
}

void SetShell(Shell* shell) {
    installed = shell;
}

}  // namespace platform
