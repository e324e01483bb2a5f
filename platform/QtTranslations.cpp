#include "platform/QtTranslations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace platform {

QTranslator* LoadQtTranslations(const QLocale& locale) {
    if (locale.language() != QLocale::Japanese)
        return nullptr;
    auto* translator = new QTranslator(QCoreApplication::instance());
    if (!translator->load(locale, "qtbase", "_",
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath)) ||
        !QCoreApplication::installTranslator(translator)) {
        delete translator;
        return nullptr;
    }
    return translator;
}

}  // namespace platform
