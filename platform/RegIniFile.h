#pragma once
// The per-user settings store: a key with sections holding string values, kept in QSettings.
// The key "Software\<organisation>\<application>\" names the QSettings organisation and
// application; a section is a QSettings group. Values are Shift_JIS here and Unicode in the
// store.
//
// Tests point the store at a temporary directory through tests/support/TempSettings.h
// (QSettings::setPath for the user scope), never at the real user's settings.
#include <QSettings>
#include <QString>
#include <memory>
#include <optional>
#include <string>

class TRegIniFile {  // opens the key "Software\Orvane\Tidemark\", creating it when missing
  public:
    explicit TRegIniFile(const std::string& Key = "Software\\Orvane\\Tidemark\\");
    ~TRegIniFile();  // releases the key
    TRegIniFile(const TRegIniFile&) = delete;
    TRegIniFile& operator=(const TRegIniFile&) = delete;

    // string value of a section, Default when the section or value is missing; a stored
    // value that is not a string raises EConvertError "'%s' のデータ型が不正です" (value name)
    std::string ReadString(const std::string& Section, const std::string& Ident,
                           const std::string& Default);
    // The same, as the store holds it: Unicode, in UTF-8 (for a text that Shift_JIS may not hold)
    std::string ReadUtf8String(const std::string& Section, const std::string& Ident,
                               const std::string& Default);
    // creates the section when missing; failures raise "キー %s の作成に失敗しました" (section
    // name) / "'%s' の設定に失敗しました" (value name)
    void WriteString(const std::string& Section, const std::string& Ident,
                     const std::string& Value);
    // The same for a value given in UTF-8
    void WriteUtf8String(const std::string& Section, const std::string& Ident,
                         const std::string& Value);

  private:
    // A fresh QSettings for every write, so one failure's status does not stick to the next.
    QSettings Open() const;
    // The stored text; nullopt when the section or value is missing.
    std::optional<QString> Read(const std::string& Section, const std::string& Ident);
    void Write(const std::string& Section, const std::string& Ident, const QString& text);
    void CreateKey() const;

    QString organisation_;
    QString application_;
    // Reads share one QSettings, so a run of them reads the file once; a write lets it go.
    std::unique_ptr<QSettings> reader_;
};
