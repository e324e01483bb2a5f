// The help menu: the user guide from the build tree, rendered, and the version box.
#include <QAction>
#include <QMessageBox>
#include <QTextBrowser>
#include <QTimer>

#include "FrmMainFixture.h"
#include "app/HelpMenu.h"
#include "platform/Version.h"

namespace {

using HelpMenu = FrmMainFixture;

TEST_F(HelpMenu, GuideShowsTheUserPartOfTheReadmeInOneWindow) {
    const auto form = Create(Dir());
    form->show();
    form->Help2->trigger();
    form->Help2->trigger();

    const auto guides = form->findChildren<QTextBrowser*>();
    ASSERT_EQ(1, guides.size());
    QTextBrowser* guide = guides[0];
    EXPECT_TRUE(guide->isVisible());
    EXPECT_TRUE(guide->isWindow());
    const QString text = guide->document()->toPlainText();
    // Rendered, not shown as source: headings lose their marks.
    for (const char* shown : {"The compose window", "宛先 / ＣＣ / ＢＣＣ", "tidemark-send"})
        EXPECT_TRUE(text.contains(QString::fromUtf8(shown))) << shown;
    for (const char* hidden : {"## The compose window", "Benchmarks and fuzzing", "ctest -R"})
        EXPECT_FALSE(text.contains(QString::fromUtf8(hidden))) << hidden;
    EXPECT_TRUE(boxes.boxes.empty());

    guide->close();
    QApplication::processEvents();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(form->findChildren<QTextBrowser*>().isEmpty());
}

TEST_F(HelpMenu, VersionBoxNamesTheProgramVersionLicenceAndQt) {
    const auto form = Create(Dir());
    form->show();
    QString shown;
    bool modal = false;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(nullptr, box);
        modal = true;
        shown = box->text();
        box->accept();
    });
    form->N3->trigger();

    EXPECT_TRUE(modal);
    EXPECT_EQ(VersionText(), shown);
    for (const QString& part : {QString("Tidemark"), QString(platform::kVersion),
                                QString(platform::kLicence), QString("Qt ") + qVersion()})
        EXPECT_TRUE(shown.contains(part)) << part.toStdString();
    EXPECT_FALSE(QString(platform::kVersion).isEmpty());
}

}  // namespace
