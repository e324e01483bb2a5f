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
    // creates the section when missing; failures raise "キー %s の作成に失敗しました" (section
    // name) / "'%s' の設定に失敗しました" (value name)
    void WriteString(const std::string& Section, const std::string& Ident,
                     const std::string& Value);

  private:
    // A fresh QSettings for every operation, so one failure's status does not stick to the next.
    QSettings Open() const;
    void CreateKey() const;

    QString organisation_;
    QString application_;
};
