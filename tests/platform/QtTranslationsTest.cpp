#include "platform/QtTranslations.h"

#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QLocale>
#include <QTranslator>

namespace {

// Texts Qt shows itself: the context menu of a text field and a dialog button.
QString UndoText() {
    return QCoreApplication::translate("QLineEdit", "&Undo");
}
QString CancelText() {
    return QCoreApplication::translate("QPlatformTheme", "Cancel");
}

TEST(QtTranslations, JapaneseLocalesGetQtsOwnJapaneseTextsOthersNone) {
    const struct {
        const char* locale;
        bool japanese;
    } cases[] = {{"ja_JP", true}, {"ja", true}, {"en_US", false}, {"C", false}, {"zh_CN", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.locale);
        QTranslator* translator = platform::LoadQtTranslations(QLocale(c.locale));
        EXPECT_EQ(c.japanese, translator != nullptr);
        EXPECT_EQ(c.japanese, UndoText() != "&Undo") << UndoText().toStdString();
        EXPECT_EQ(c.japanese, CancelText() != "Cancel") << CancelText().toStdString();
        if (translator) {
            QCoreApplication::removeTranslator(translator);
            delete translator;
        }
    }
}

}  // namespace
