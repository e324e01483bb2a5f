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
// What a window manager adds around a window it has not shown yet: a title bar and borders.
constexpr QSize kFrameReserve(16, 48);

// A stored value that is no plain number counts as none (0, below any least size).
int StoredLength(TRegIniFile& settings, const char* ident) {
    const std::string value = settings.ReadString(kSection, ident, "");
    const bool digits = !value.empty() && value.size() <= 5 &&
                        value.find_first_not_of("0123456789") == std::string::npos;
    return digits ? std::stoi(value) : 0;
}

QSize MenuBarSize(const TFrmMain& FrmMain) {
    return QSize(0, FrmMain.menuBar()->sizeHint().height());
}

QSize LeastClientSize(const TFrmMain& FrmMain) {
    return FrmMain.minimumSize() - MenuBarSize(FrmMain);
}

// The frame the window manager gave the window once shown, else room for one.
QSize FrameOf(const TFrmMain& FrmMain) {
    if (FrmMain.isVisible())
        return FrmMain.frameGeometry().size() - FrmMain.size();
    return kFrameReserve;
}

// The screen the window opens on: where it is now, the primary one for a window not yet placed.
QRect AvailableArea(const TFrmMain& FrmMain) {
    const QScreen* screen = FrmMain.screen() ? FrmMain.screen() : QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect(0, 0, INT_MAX / 2, INT_MAX / 2);
}

int Fit(int stored, int least, int most) {
    return std::clamp(stored, least, std::max(least, most));
}

}  // namespace

QSize FitClientSize(QSize stored, QSize least, QSize available, QSize chrome) {
    const QSize most = available - chrome;
    return {Fit(stored.width(), least.width(), most.width()),
            Fit(stored.height(), least.height(), most.height())};
}

QSize RestoreWindowSize(TFrmMain& FrmMain) {
    TRegIniFile settings;
    const QRect available = AvailableArea(FrmMain);
    const QSize frame = FrameOf(FrmMain);
    const QSize stored(StoredLength(settings, "WindowWidth"),
                       StoredLength(settings, "WindowHeight"));
    const QSize size = FitClientSize(stored, LeastClientSize(FrmMain), available.size(),
                                     MenuBarSize(FrmMain) + frame);
    FrmMain.resize(size + MenuBarSize(FrmMain));
    // Centred, frame and all, with the title bar never above the screen's top.
    QRect outline(QPoint(), FrmMain.size() + frame);
    outline.moveCenter(available.center());
    FrmMain.move(std::max(outline.left(), available.left()),
                 std::max(outline.top(), available.top()));
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
