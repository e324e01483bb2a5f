#pragma once
// The certificates of tests/support/make_certs.sh, made once per test program in a temporary
// directory: ca.pem (the trusted test CA), otherca.pem (one nobody trusts), and good, wrongname,
// expired, future, selfsigned and stranger (.pem and .key) as the script describes. Also the
// options that make tests/support/smtp_sink.py a secured server with AUTH for kAuthUser and
// kAuthPassword.
#include <QFile>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>
#include <string>

// Never printed: tests only check that it appears nowhere it must not.
inline constexpr const char* kAuthUser = "mailer";
inline constexpr const char* kAuthPassword = "Kite7#blue-Ridge";

class TestCertificates {
  public:
    // Path of a file of the set; empty when the set could not be made.
    static std::string Path(const std::string& name) {
        const QTemporaryDir* dir = Made();
        return dir ? dir->filePath(QString::fromStdString(name)).toStdString() : std::string();
    }

    // The sink's options: certificate "good" etc., tls "starttls" or "implicit", AUTH
    // mechanisms like "PLAIN,LOGIN" ("" for none).
    static QStringList SinkOptions(const std::string& certificate, const char* tls,
                                   const char* mechanisms) {
        QStringList options{"--cert", QString::fromStdString(Path(certificate + ".pem")),
                            "--key",  QString::fromStdString(Path(certificate + ".key")),
                            "--tls",  tls};
        if (*mechanisms != '\0') {
            options << "--auth" << mechanisms << "--user" << kAuthUser << "--password-file"
                    << QString::fromStdString(Path("password"));
        }
        return options;
    }

  private:
    static const QTemporaryDir* Made() {
        static const std::unique_ptr<QTemporaryDir> dir = [] {
            auto made = std::make_unique<QTemporaryDir>();
            QProcess script;
            script.start("/bin/sh",
                         {TIDEMARK_SOURCE_DIR "/tests/support/make_certs.sh", made->path()});
            const bool ok = script.waitForFinished(60000) &&
                            script.exitStatus() == QProcess::NormalExit && script.exitCode() == 0;
            QFile password(made->filePath("password"));
            if (password.open(QIODevice::WriteOnly))
                password.write(QByteArray(kAuthPassword) + "\n");
            return ok ? std::move(made) : nullptr;
        }();
        return dir.get();
    }
};
