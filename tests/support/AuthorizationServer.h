#pragma once
// Runs tests/support/oauth_server.py, a loopback OAuth 2.0 authorization server, for the length
// of a test: it signs kAuthUser in, hands out tokens and checks them for an IMAP server.
#include <QFile>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <string>

class AuthorizationServer {
  public:
    // Options as the script takes them, e.g. {"--access-token", "at-1"}.
    explicit AuthorizationServer(const QStringList& options = {}) {
        process_.start("/usr/bin/python3",
                       QStringList{TIDEMARK_SOURCE_DIR "/tests/support/oauth_server.py",
                                   dir_.path(), "--user", "mailer"} +
                           options);
        // Bounded: the server announces its port within seconds or the test fails.
        for (int i = 0; i < 100 && Port == 0 && process_.waitForStarted(100); ++i) {
            process_.waitForReadyRead(100);
            const QByteArray line = process_.readLine().trimmed();
            if (line.startsWith("PORT "))
                Port = line.mid(5).toInt();
        }
    }
    ~AuthorizationServer() {
        process_.closeWriteChannel();
        if (!process_.waitForFinished(5000))
            process_.kill();
        process_.waitForFinished(5000);
    }
    AuthorizationServer(const AuthorizationServer&) = delete;
    AuthorizationServer& operator=(const AuthorizationServer&) = delete;

    // The address of one of its endpoints ("/authorize", "/token", "/tokeninfo").
    std::string Url(const char* path) const {
        return "http://127.0.0.1:" + std::to_string(Port) + path;
    }
    // One of its logs ("authorize.log", "token.log", "refresh.txt").
    std::string Log(const char* name) const {
        QFile file(dir_.filePath(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll().toStdString() : std::string();
    }

    int Port = 0;

  private:
    QTemporaryDir dir_;
    QProcess process_;
};
