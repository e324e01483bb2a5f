#include "app/HelpMenu.h"

#include <QAction>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QScreen>
#include <QTextBrowser>
#include <QUrl>
#include <algorithm>
#include <cerrno>

#include "platform/CodePage.h"
#include "platform/DataDir.h"
#include "platform/Exception.h"
#include "platform/Shell.h"
#include "platform/Version.h"
#include "userdata/LineFile.h"

using platform::FromSjis;
using platform::Sjis;

namespace {

const QString kGuideName = QStringLiteral("UserGuide");

// Places inside the guide are followed in the window; web and mail addresses go to the desktop.
void FollowLink(QTextBrowser& guide, const QUrl& url) {
    if (url.scheme() == "http" || url.scheme() == "https" || url.scheme() == "mailto") {
        platform::CurrentShell().Open(url.toString().toStdString());
    } else if (url.hasFragment()) {
        guide.scrollToAnchor(url.fragment());
    }
}

// What a window manager adds around a window: a title bar and thin borders.
constexpr QSize kFrameReserve(16, 48);

// Centred on the window it helps with, within that window's screen.
void PlaceOver(QWidget& guide, const QWidget& owner) {
    const QScreen* screen = owner.screen();
    if (screen)
        guide.resize(guide.size().boundedTo(screen->availableGeometry().size() - kFrameReserve));
    QRect place(QPoint(), guide.size());
    place.moveCenter(owner.frameGeometry().center());
    if (screen) {
        const QRect available = screen->availableGeometry();
        place.moveLeft(std::clamp(place.left(), available.left(),
                                  std::max(available.left(), available.right() - place.width())));
        place.moveTop(std::clamp(place.top(), available.top(),
                                 std::max(available.top(), available.bottom() - place.height())));
    }
    guide.move(place.topLeft());
}

QTextBrowser* NewGuideWindow(QWidget* owner, const QString& path) {
    auto* guide = new QTextBrowser(owner);
    guide->setObjectName(kGuideName);
    guide->setWindowFlag(Qt::Window);
    guide->setAttribute(Qt::WA_DeleteOnClose);
    guide->setWindowTitle(FromSjis(Sjis("ぴこぴこ便 ヘルプ")));
    guide->resize(640, 600);
    PlaceOver(*guide, *owner);
    auto* close = new QAction(guide);
    close->setShortcut(Qt::Key_Escape);
    guide->addAction(close);
    QObject::connect(close, &QAction::triggered, guide, &QWidget::close);
    guide->setOpenLinks(false);
    QObject::connect(guide, &QTextBrowser::anchorClicked, guide,
                     [guide](const QUrl& url) { FollowLink(*guide, url); });
    // Pictures named in the guide are found beside it.
    guide->setSource(QUrl::fromLocalFile(path), QTextDocument::MarkdownResource);
    return guide;
}

}  // namespace

QTextBrowser* ShowUserGuide(QWidget* owner) {
    auto* guide = owner->findChild<QTextBrowser*>(kGuideName, Qt::FindDirectChildrenOnly);
    if (!guide) {
        const std::string path = platform::UserGuide();
        const QString name = QFile::decodeName(QByteArray::fromStdString(path));
        if (!QFileInfo(name).isReadable())
            throw EInOutError(
                userdata::FileErrorText("ヘルプファイル %s を開けません", path, ENOENT));
        guide = NewGuideWindow(owner, name);
    }
    guide->show();
    guide->raise();
    guide->activateWindow();
    return guide;
}

QString VersionText() {
    return FromSjis(Sjis("<p><b>ぴこぴこ便</b> (Tidemark) ")) + platform::kVersion +
           FromSjis(Sjis("</p><p>短い日本語のメールを書いてすぐに送るプログラム</p>"
                         "<p>ライセンス: ")) +
           platform::kLicence + "<br>" + platform::kCopyright + FromSjis(Sjis("</p><p>Qt ")) +
           qVersion() + "</p>";
}

std::unique_ptr<QMessageBox> VersionBox(QWidget* owner) {
    auto box = std::make_unique<QMessageBox>(owner);
    box->setWindowTitle(FromSjis(Sjis("バージョン情報")));
    box->setTextFormat(Qt::RichText);
    box->setText(VersionText());
    box->setIconPixmap(owner->windowIcon().pixmap(64, 64));
    box->setStandardButtons(QMessageBox::Ok);
    return box;
}
