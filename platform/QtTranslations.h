#pragma once
// Qt's own texts (the file dialog, the context menu of text fields, the standard buttons) in the
// user's language where Qt ships a translation: Japanese, the language of the program's own
// texts.
class QLocale;
class QTranslator;

namespace platform {

// Installs Qt's Japanese translation when the locale's language is Japanese; the translator,
// owned by the application, or nullptr when the locale is another or the translation is missing.
QTranslator* LoadQtTranslations(const QLocale& locale);

}  // namespace platform
