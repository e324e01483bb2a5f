#pragma once
// Points the per-user settings store (QSettings, user scope, native and INI formats) at a fresh
// temporary directory for the life of the object, so tests never touch the real user's settings.
// Every test that reads or writes settings creates one first. The store's file is then
// <Dir()>/Orvane/Tidemark.conf.
#include <QSettings>
#include <QStandardPaths>
#include <QString>
#include <QTemporaryDir>

class TempSettings {
  public:
    TempSettings() { PointAt(dir_.path()); }
    ~TempSettings() {
        PointAt(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation));
    }
    TempSettings(const TempSettings&) = delete;
    TempSettings& operator=(const TempSettings&) = delete;

    QString Dir() const { return dir_.path(); }
    // The file behind the store "Software\Orvane\Tidemark\".
    QString FilePath() const { return QSettings("Orvane", "Tidemark").fileName(); }

    // Moves the store elsewhere, e.g. below a regular file so that every write fails.
    static void PointAt(const QString& dir) {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir);
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, dir);
    }

  private:
    QTemporaryDir dir_;
};
