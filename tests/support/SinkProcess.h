#pragma once
// Runs tests/support/smtp_sink.py, a real SMTP server on 127.0.0.1, for the length of a test,
// and reads back what it stored. Extra arguments turn on its TLS and AUTH options.
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <string>

class SinkProcess {
  public:
    explicit SinkProcess(const QStringList& options = {}) {
        process_.setProgram("/usr/bin/python3");
        process_.setArguments(QStringList{Script("smtp_sink.py"), dir_.path()} + options);
        process_.start();
        if (!process_.waitForStarted(10000))
            return;
        // Bounded: the server announces its port within seconds or the test fails.
        for (int i = 0; i < 100 && Port == 0; ++i) {
            process_.waitForReadyRead(100);
            const QByteArray line = process_.readLine().trimmed();
            if (line.startsWith("PORT "))
                Port = line.mid(5).toInt();
        }
    }
    ~SinkProcess() {
        process_.closeWriteChannel();
        if (!process_.waitForFinished(5000)) {
            process_.kill();
            process_.waitForFinished(5000);
        }
    }
    SinkProcess(const SinkProcess&) = delete;
    SinkProcess& operator=(const SinkProcess&) = delete;

    // Path of the N-th stored message (from 1), waiting up to ten seconds for it.
    QString Message(int n) const {
        const QString path = dir_.filePath(QString::asprintf("%04d.eml", n));
        for (int i = 0; i < 200 && !QFile::exists(path); ++i)
            QThread::msleep(50);
        return path;
    }
    QByteArray Envelope(int n) const {
        QFile file(dir_.filePath(QString::asprintf("%04d.env", n)));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    // The AUTH attempts, one "MECHANISM ok|refused" line each.
    std::string AuthLog() const { return ReadLog("auth.log"); }
    // The parameters of each MAIL, one line each; "SIZE=declared received-bytes" for each
    // stored message (a sink started with --size).
    std::string MailLog() const { return ReadLog("mail.log"); }
    std::string SizeLog() const { return ReadLog("size.log"); }
    // The name asked for in each TLS handshake, "-" for none.
    std::string SniLog() const { return ReadLog("sni.log"); }
    // A file in the sink's directory, e.g. for --password-file.
    QString FilePath(const char* name) const { return dir_.filePath(name); }
    int StoredCount() const {
        return static_cast<int>(QDir(dir_.path()).entryList({"*.eml"}, QDir::Files).size());
    }

    // What Python's email package decodes the message to (tests/support/check_mail.py, or
    // read_mail.py for a reader with today's policy).
    static QJsonObject Decode(const QString& messagePath, const char* script = "check_mail.py") {
        QProcess checker;
        checker.start("/usr/bin/python3", {Script(script), messagePath});
        checker.waitForFinished(30000);
        return QJsonDocument::fromJson(checker.readAllStandardOutput()).object();
    }

    static QString Script(const char* name) {
        return QString(TIDEMARK_SOURCE_DIR "/tests/support/") + name;
    }

    int Port = 0;

  private:
    std::string ReadLog(const char* name) const {
        QFile file(dir_.filePath(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll().toStdString() : std::string();
    }

    QTemporaryDir dir_;
    QProcess process_;
};
