#include "platform/RegIniFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include "platform/CodePage.h"
#include "platform/Exception.h"

namespace {

// "Software\Orvane\Tidemark\" -> part 1 "Orvane", part 2 "Tidemark".
QString KeyPart(const std::string& key, qsizetype index) {
    const QStringList parts =
        QString::fromStdString(key).split(QLatin1Char('\\'), Qt::SkipEmptyParts);
    return index < parts.size() ? parts[index] : QString();
}

std::string WithName(const char* utf8Format, const std::string& name) {
    std::string text = platform::Sjis(utf8Format);
    text.replace(text.find("%s"), 2, name);
    return text;
}

// Bytes that are no Shift_JIS character would be stored as something else: refuse them.
bool RoundTrips(const QString& text, const std::string& sjis) {
    try {
        return platform::ToSjis(text) == sjis;
    } catch (const ECodePageError&) {
        return false;
    }
}

// Leaves the process-wide settings cache as it was before a write that did not reach the file.
void Undo(QSettings& settings, const QString& path, const QVariant& previous) {
    if (previous.isValid()) {
        settings.setValue(path, previous);
    } else {
        settings.remove(path);
    }
}

}  // namespace

TRegIniFile::TRegIniFile(const std::string& Key)
    : organisation_(KeyPart(Key, 1)), application_(KeyPart(Key, 2)) {
    CreateKey();
}

TRegIniFile::~TRegIniFile() = default;

QSettings TRegIniFile::Open() const {
    return QSettings(organisation_, application_);
}

// The key is the settings file: make it exist, empty, so that opening alone leaves a trace.
// A failure here shows at the first write.
void TRegIniFile::CreateKey() const {
    const QString path = Open().fileName();
    if (QFileInfo::exists(path))
        return;
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.close();
}

std::string TRegIniFile::ReadString(const std::string& Section, const std::string& Ident,
                                    const std::string& Default) {
    const std::optional<QString> value = Read(Section, Ident);
    return value ? platform::ToSjis(*value) : Default;
}

std::string TRegIniFile::ReadUtf8String(const std::string& Section, const std::string& Ident,
                                        const std::string& Default) {
    const std::optional<QString> value = Read(Section, Ident);
    return value ? value->toStdString() : Default;
}

std::optional<QString> TRegIniFile::Read(const std::string& Section, const std::string& Ident) {
    if (!reader_)
        reader_ = std::make_unique<QSettings>(organisation_, application_);
    const QString path = platform::FromSjis(Section) + QLatin1Char('/') + platform::FromSjis(Ident);
    if (!reader_->contains(path))
        return std::nullopt;
    const QVariant value = reader_->value(path);
    if (value.typeId() != QMetaType::QString) {
        throw EConvertError(WithName("'%s' のデータ型が不正です", Ident));
    }
    return value.toString();
}

void TRegIniFile::WriteString(const std::string& Section, const std::string& Ident,
                              const std::string& Value) {
    const QString text = platform::FromSjis(Value);
    if (!RoundTrips(text, Value))
        throw EConvertError(WithName("'%s' の設定に失敗しました", Ident));
    Write(Section, Ident, text);
}

void TRegIniFile::WriteUtf8String(const std::string& Section, const std::string& Ident,
                                  const std::string& Value) {
    Write(Section, Ident, QString::fromStdString(Value));
}

void TRegIniFile::Write(const std::string& Section, const std::string& Ident, const QString& text) {
    reader_.reset();
    QSettings settings = Open();
    const QString section = platform::FromSjis(Section);
    const QString path = section + QLatin1Char('/') + platform::FromSjis(Ident);
    const bool sectionExisted = settings.childGroups().contains(section);
    const QVariant previous = settings.contains(path) ? settings.value(path) : QVariant();

    settings.setValue(path, text);
    settings.sync();
    if (settings.status() == QSettings::NoError)
        return;

    Undo(settings, path, previous);
    if (!sectionExisted)
        throw EInOutError(WithName("キー %s の作成に失敗しました", Section));
    throw EInOutError(WithName("'%s' の設定に失敗しました", Ident));
}
