#pragma once
// The real program run as an installed one: copied out of its build tree into a home of the
// test's own, where it keeps its data where XDG_DATA_HOME says.
#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <filesystem>

// The copy's path, home/bin/tidemark.
inline QString CopyProgramInto(const QTemporaryDir& home) {
    const QString program = home.filePath("bin/tidemark");
    QDir().mkpath(home.filePath("bin"));
    std::filesystem::copy_file(TIDEMARK_EXECUTABLE, program.toStdString());
    return program;
}

// Writes bytes to home/name; its path.
inline QString WriteHomeFile(const QTemporaryDir& home, const QString& name,
                             const QByteArray& bytes) {
    QFile file(home.filePath(name));
    EXPECT_TRUE(file.open(QIODevice::WriteOnly)) << name.toStdString();
    file.write(bytes);
    return file.fileName();
}

// The fields the program would show on start, as it prints them to home/name
// (TIDEMARK_PRINT_FIELDS) before it ends; empty when it printed none.
inline QJsonObject PrintedFields(const QString& program, const QStringList& arguments,
                                 QProcessEnvironment env, const QTemporaryDir& home,
                                 const QString& name) {
    QProcess run;
    env.insert("TIDEMARK_PRINT_FIELDS", home.filePath(name));
    run.setProcessEnvironment(env);
    run.start(program, arguments);
    EXPECT_TRUE(run.waitForFinished(60000)) << name.toStdString();
    QFile out(home.filePath(name));
    EXPECT_TRUE(out.open(QIODevice::ReadOnly)) << run.readAllStandardError().toStdString();
    return QJsonDocument::fromJson(out.readAll()).object();
}
