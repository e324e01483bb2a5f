#pragma once
// A temporary program directory for the data-file windows, with byte-level file access.
#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <string>

#include "tests/support/RecordingMessageBoxes.h"
#include "userdata/HandOver.h"

class DataDirTest : public testing::Test {
  protected:
    DataDirTest() { FrmMain.ProgramDir = dir.path().toStdString() + "/"; }

    std::string PathOf(const std::string& name) const { return FrmMain.ProgramDir + name; }

    void WriteBytes(const std::string& name, const std::string& bytes) const {
        QFile file(QString::fromStdString(PathOf(name)));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes.data(), static_cast<qint64>(bytes.size()));
    }

    std::string ReadBytes(const std::string& name) const {
        QFile file(QString::fromStdString(PathOf(name)));
        if (!file.open(QIODevice::ReadOnly))
            return "(unreadable)";
        return file.readAll().toStdString();
    }

    // Names in the directory: a save must leave no temporary file behind.
    QStringList DirEntries() const {
        return QDir(dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries);
    }

    QTemporaryDir dir;
    THandOverFields FrmMain;
    RecordingMessageBoxes boxes;
};
