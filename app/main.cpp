// The program: the compose window and the message loop. A mailto: link or the options --to,
// --cc, --bcc, --subject and --body-file open the window with those fields filled; without them
// the window brings back a draft left behind. With --screenshot PATH it renders the window,
// filled with a sample message, to a PNG file instead; --help and --version answer without a
// display.
#include <QApplication>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPixmap>
#include <QPlainTextEdit>
#include <cstdio>
#include <string>
#include <vector>

#include "app/DraftKeeper.h"
#include "app/FrmMain.h"
#include "app/MailtoLink.h"
#include "app/StartOptions.h"
#include "app/WindowSize.h"
#include "platform/Application.h"
#include "platform/CodePage.h"
#include "platform/ExceptionHook.h"
#include "platform/MessageBoxes.h"
#include "platform/QtMessageBoxes.h"
#include "platform/QtTranslations.h"
#include "platform/Version.h"
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

// Where a test asks for it (TIDEMARK_PRINT_FIELDS=PATH), the fields and the status text of
// the window as it opened, as a JSON object in PATH, instead of the message loop.
int PrintFields(TFrmMain& FrmMain, const QString& path) {
    QApplication::processEvents();
    const platform::TDraft fields = FrmMain.Drafts->Fields();
    const QJsonObject object{
        {"to", QString::fromStdString(fields.To)},
        {"cc", QString::fromStdString(fields.Cc)},
        {"bcc", QString::fromStdString(fields.Bcc)},
        {"subject", QString::fromStdString(fields.Subject)},
        {"body", QString::fromStdString(fields.Body)},
        {"status", FrmMain.StatusPanel->text()},
    };
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(QJsonDocument(object).toJson()) < 0) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return 1;
    }
    return 0;
}

// A link or an option that cannot be taken: told on the error output and, since a desktop
// that opened the link shows no terminal, in a box.
int Refuse(const std::string& reason) {
    std::fprintf(stderr, "tidemark: %s\n", reason.c_str());
    std::string text;
    try {
        text = platform::Utf8ToSjis("この内容では開けません: " + reason);
    } catch (const std::exception&) {
        text = platform::Sjis("この内容では開けません。");
    }
    platform::CurrentMessageBoxes().Show(platform::ApplicationTitle(), text,
                                         platform::MsgIcon::Error, platform::MsgButtons::Ok);
    return 2;
}

// The window's size goes to the settings when the program ends; a failure there loses nothing
// the user typed.
void KeepWindowSize(const TFrmMain& FrmMain, QSize given) {
    try {
        RememberWindowSize(FrmMain, given);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tidemark: %s\n", platform::SjisToUtf8(e.what()).c_str());
    }
}

int RunWindow(const TStartOptions& options) {
    TFrmMain FrmMain;
    if (options.Screenshot)
        return Screenshot(FrmMain, QString::fromStdString(*options.Screenshot));
    const QSize given = RestoreWindowSize(FrmMain);
    FrmMain.ShowSignature();
    if (options.Fill) {
        FrmMain.Drafts->Fill(*options.Fill);
        FrmMain.ShowSignature();  // below the body the link or the options gave
    } else {
        FrmMain.Drafts->Restore();  // a draft holds its own signature, or none
    }
    FrmMain.show();
    if (const QString path = qEnvironmentVariable("TIDEMARK_PRINT_FIELDS"); !path.isEmpty())
        return PrintFields(FrmMain, path);
    const int status = QApplication::exec();
    KeepWindowSize(FrmMain, given);
    return status;
}

int Run(int& argc, char** argv) {
    TStartOptions options;
    std::string refusal;
    try {
        options = ParseStartOptions(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const EStartUsageError& e) {
        std::fprintf(stderr, "tidemark: %s\n%s", e.what(), StartUsage().c_str());
        return 2;
    } catch (const EFillError& e) {
        refusal = e.what();
    }
    if (options.Help) {
        std::printf(
            "%sOpens the compose window, filled from a mailto: link or the options; it "
            "never sends by itself. --screenshot renders the window to a PNG file "
            "instead.\n",
            StartUsage().c_str());
        return 0;
    }
    if (options.Version) {
        std::printf("tidemark %s\n", platform::kVersion);
        return 0;
    }
    TApplication app(argc, argv);
    platform::LoadQtTranslations(QLocale());
    platform::UseQtMessageBoxes();
    // Lets the desktop match the window to its menu entry and icon.
    QGuiApplication::setDesktopFileName("jp.orvane.tidemark");
    // Exceptions out of timer ticks reach the same error display as those of the windows.
    platform::SetExceptionHook(platform::HandleException);
    QApplication::setFont(userdata::WindowFont());
    try {
        if (refusal.empty())
            ReadBodyFile(options);
    } catch (const EFillError& e) {
        refusal = e.what();
    }
    if (!refusal.empty())
        return Refuse(refusal);
    return RunWindow(options);
}

}  // namespace

int main(int argc, char** argv) {
    platform::InstallLastResort("tidemark");
    return platform::RunGuarded([&argc, argv] { return Run(argc, argv); });
}
