#include "app/WindowSize.h"

#include <QGuiApplication>
#include <QMenuBar>
#include <QScreen>
#include <algorithm>
#include <climits>
#include <string>

#include "app/FrmMain.h"
#include "platform/RegIniFile.h"

namespace {

constexpr const char* kSection = "Settings";

// A stored value that is no plain number, or one too small, counts as none.
int StoredLength(TRegIniFile& settings, const char* ident, int least, int most) {
    const std::string value = settings.ReadString(kSection, ident, "");
    const bool digits = !value.empty() && value.size() <= 5 &&
                        value.find_first_not_of("0123456789") == std::string::npos;
    const int length = digits ? std::stoi(value) : least;
    return std::clamp(length, least, std::max(least, most));
}

QSize MenuBarSize(const TFrmMain& FrmMain) {
    return QSize(0, FrmMain.menuBar()->sizeHint().height());
}

QSize LeastClientSize(const TFrmMain& FrmMain) {
    return FrmMain.minimumSize() - MenuBarSize(FrmMain);
}

QSize ScreenSize() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry().size() : QSize(INT_MAX, INT_MAX);
}

}  // namespace

QSize RestoreWindowSize(TFrmMain& FrmMain) {
    TRegIniFile settings;
    const QSize least = LeastClientSize(FrmMain);
    const QSize most = ScreenSize() - MenuBarSize(FrmMain);
    const QSize size(StoredLength(settings, "WindowWidth", least.width(), most.width()),
                     StoredLength(settings, "WindowHeight", least.height(), most.height()));
    FrmMain.resize(size + MenuBarSize(FrmMain));
    FrmMain.CenterOnScreen();
    return size;
}

void RememberWindowSize(const TFrmMain& FrmMain, QSize given) {
    const QSize size = FrmMain.centralWidget()->size();
    if (FrmMain.isMaximized() || FrmMain.isFullScreen() || size == given) {
        return;
    }
    TRegIniFile settings;
    settings.WriteString(kSection, "WindowWidth", std::to_string(size.width()));
    settings.WriteString(kSection, "WindowHeight", std::to_string(size.height()));
}
