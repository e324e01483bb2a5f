// The program: the compose window and the message loop. With --screenshot PATH it renders the
// window, filled with a sample message, to a PNG file instead.
#include <QApplication>
#include <QLineEdit>
#include <QPixmap>
#include <QPlainTextEdit>
#include <cstdio>

#include "app/FrmMain.h"
#include "platform/Application.h"
#include "platform/ExceptionHook.h"
#include "userdata/WindowFont.h"

namespace {

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

}  // namespace

int main(int argc, char** argv) {
    TApplication app(argc, argv);
    // Exceptions out of timer ticks reach the same error display as those of the windows.
    platform::SetExceptionHook(platform::HandleException);
    QApplication::setFont(userdata::WindowFont());
    const QStringList args = QApplication::arguments().mid(1);
    const bool screenshot = args.size() == 2 && args[0] == "--screenshot";
    if (!args.isEmpty() && !screenshot) {
        std::fprintf(stderr, "usage: %s [--screenshot PATH]\n", qPrintable(app.applicationName()));
        return 2;
    }

    TFrmMain FrmMain;
    if (screenshot)
        return Screenshot(FrmMain, args[1]);
    FrmMain.show();
    return app.exec();
}
