// The help menu: the user guide from the build tree, rendered, and the version box.
#include <QAction>
#include <QMessageBox>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>

#include "FrmMainFixture.h"
#include "app/HelpMenu.h"
#include "platform/Version.h"

namespace {

using HelpMenu = FrmMainFixture;

TEST_F(HelpMenu, GuideShowsTheJapaneseGuideCentredOnTheWindowAndEscClosesIt) {
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
    EXPECT_TRUE(text.startsWith(QString::fromUtf8("ぴこぴこ便 ユーザーガイド\n")))
        << text.left(40).toStdString();
    for (const char* shown : {"はじめての設定", "宛先", "メッセージの意味と対処", "破棄して終了"})
        EXPECT_TRUE(text.contains(QString::fromUtf8(shown))) << shown;
    for (const char* hidden : {"## ", "ctest -R", "Benchmarks"})
        EXPECT_FALSE(text.contains(QString::fromUtf8(hidden))) << hidden;
    EXPECT_TRUE(boxes.boxes.empty());
    const QPoint offCentre = guide->frameGeometry().center() - form->frameGeometry().center();
    // Placed before it has a frame: off by what the frame adds at most.
    EXPECT_LE(offCentre.manhattanLength(), 10) << offCentre.x() << "," << offCentre.y();

    QApplication::setActiveWindow(guide);
    QTest::keyClick(guide, Qt::Key_Escape);
    EXPECT_FALSE(guide->isVisible());
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
    for (const QString& part :
         {QString("Tidemark"), QString(platform::kVersion), QString("MIT"),
          QString("Copyright (c) 2026 the Tidemark authors"), QString("Qt ") + qVersion()})
        EXPECT_TRUE(shown.contains(part)) << part.toStdString();
    EXPECT_FALSE(QString(platform::kVersion).isEmpty());
}

}  // namespace
