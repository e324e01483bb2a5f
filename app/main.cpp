// The program: the compose window and the message loop. With --screenshot PATH it renders the
// window, filled with a sample message, to a PNG file instead; --help and --version answer
// without a display.
#include <QApplication>
#include <QLineEdit>
#include <QLocale>
#include <QPixmap>
#include <QPlainTextEdit>
#include <cstdio>
#include <cstring>

#include "app/FrmMain.h"
#include "platform/Application.h"
#include "platform/ExceptionHook.h"
#include "platform/QtMessageBoxes.h"
#include "platform/QtTranslations.h"
#include "platform/Version.h"
#include "userdata/WindowFont.h"

namespace {

constexpr const char* kUsage = "usage: tidemark [--screenshot PATH] [--help] [--version]\n";

// Every handler of the compose window reports its own exceptions; this catches those of any
// other window, so that an error is shown and the program goes on.
class TApplication : public QApplication {
  public:
    using QApplication::QApplication;
    bool notify(QObject* receiver, QEvent* event) override {
        try {
            return QApplication::notify(receiver, event);
        } catch (const std::exception& e) {
            platform::HandleException(e);
            return false;
        }
    }
};

void FillSample(TFrmMain& FrmMain) {
    FrmMain.Edit_ToAddress->setText("hanako@example.com");
    FrmMain.Edit_ToCarbonCopy->setText(QString::fromUtf8("山田太郎 <taro@example.com>"));
    FrmMain.Edit_kenmei->setText(QString::fromUtf8("来週の打ち合わせについて"));
    FrmMain.Memo1->setPlainText(
        QString::fromUtf8("花子さん\n\n来週の打ち合わせは火曜日の午後二時からに"
                          "なりました。会議室は三階です。\n資料は当日お持ちします。\n\nよろしく"
                          "お願いします。"));
}

int Screenshot(TFrmMain& FrmMain, const QString& path) {
    FillSample(FrmMain);
    FrmMain.show();
    QApplication::processEvents();
    if (!FrmMain.grab().save(path, "PNG")) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return 1;
    }
    return 0;
}

// --help and --version, answered before the application needs a display; -1 for anything else.
int AnswerWithoutWindow(int argc, char** argv) {
    if (argc != 2)
        return -1;
    if (std::strcmp(argv[1], "--help") == 0) {
        std::printf("%sOpens the compose window; --screenshot renders it to a PNG file instead.\n",
                    kUsage);
        return 0;
    }
    if (std::strcmp(argv[1], "--version") == 0) {
        std::printf("tidemark %s\n", platform::kVersion);
        return 0;
    }
    return -1;
}

}  // namespace

int main(int argc, char** argv) {
    if (const int status = AnswerWithoutWindow(argc, argv); status >= 0)
        return status;
    TApplication app(argc, argv);
    platform::LoadQtTranslations(QLocale());
    platform::UseQtMessageBoxes();
    // Lets the desktop match the window to its menu entry and icon.
    QGuiApplication::setDesktopFileName("jp.orvane.tidemark");
    // Exceptions out of timer ticks reach the same error display as those of the windows.
    platform::SetExceptionHook(platform::HandleException);
    QApplication::setFont(userdata::WindowFont());
    const QStringList args = QApplication::arguments().mid(1);
    const bool screenshot = args.size() == 2 && args[0] == "--screenshot";
    if (!args.isEmpty() && !screenshot) {
        std::fputs(kUsage, stderr);
        return 2;
    }

    TFrmMain FrmMain;
    if (screenshot)
        return Screenshot(FrmMain, args[1]);
    FrmMain.show();
    return app.exec();
}
