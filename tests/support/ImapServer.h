#pragma once
// Runs a real IMAP server (dovecot) on 127.0.0.1 for the length of a test, with a configuration
// of its own in a temporary directory: one user (kAuthUser, kAuthPassword) from a passwd-file,
// maildir storage, the certificate "good" of TestCertificates, one port for TLS from the first
// byte and one for STARTTLS. Reads back what it stored. With tokenCheckUrl it also takes OAuth
// 2.0 access tokens (OAUTHBEARER, XOAUTH2), which it checks by asking that address.
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QMap>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <string>

#include "tests/support/TestCertificates.h"

class ImapServer {
  public:
    struct Options {
        bool sentMailbox = true;  // a mailbox "Sent" marked \Sent
        const char* mechanisms = "plain login";
        std::string user = kAuthUser;          // the one user the server knows
        std::string password = kAuthPassword;  // and its password
        // Answers {"email": user} to "?access_token=" and a good token, 401 to another.
        std::string tokenCheckUrl = "";
    };

    ImapServer() : ImapServer(Options{}) {}
    explicit ImapServer(const Options& options) {
        TlsPort = FreePort();
        StartTlsPort = FreePort();
        QFile::setPermissions(dir_.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                               QFile::ReadGroup | QFile::ExeGroup |
                                               QFile::ReadOther | QFile::ExeOther);
        QDir(dir_.path()).mkpath("mail");
        // Mail processes never run as root: the mail belongs to an ordinary user.
        const uid_t owner = getuid() == 0 ? 65534 : getuid();
        const gid_t group = getuid() == 0 ? 65534 : getgid();
        if (chown(Path("mail").c_str(), owner, group) != 0)
            return;
        user_ = options.user;
        Write("users", user_ + ":{PLAIN}" + options.password + ":" + std::to_string(owner) + ":" +
                           std::to_string(group) + "::" + Path("mail/") + user_ + "\n");
        Write("oauth2.conf", "tokeninfo_url = " + options.tokenCheckUrl +
                                 "?access_token=\nusername_attribute = email\n");
        Write("dovecot.conf", Configuration(options, owner));
        process_.start("/usr/sbin/dovecot",
                       {"-F", "-c", QString::fromStdString(Path("dovecot.conf"))});
        if (!process_.waitForStarted(10000))
            return;
        // Bounded: the server listens within seconds or the test fails.
        for (int i = 0; i < 100 && !Listening(); ++i)
            QThread::msleep(100);
    }
    // An orderly stop takes the server seconds; its processes end as soon as the master does.
    ~ImapServer() {
        process_.kill();
        process_.waitForFinished(5000);
    }
    ImapServer(const ImapServer&) = delete;
    ImapServer& operator=(const ImapServer&) = delete;

    bool Listening() const { return Accepts(TlsPort) && Accepts(StartTlsPort); }

    // The messages stored in mailbox ("Sent"), as file paths; the flags end the name (",S").
    // Oldest first. The server may be moving a message from new/ to cur/ meanwhile: cur/ is read
    // again after new/, and a message counts once, by the unique part of its name ("seconds.
    // M<microseconds>P<pid>..." before ":").
    QStringList Stored(const QString& mailbox) const {
        const QString root = QString::fromStdString(Path("mail/") + user_) + "/Maildir/." + mailbox;
        QMap<std::pair<qint64, qint64>, QMap<QString, QString>> byTime;
        for (const char* sub : {"/cur", "/new", "/cur"}) {
            for (const QString& name : QDir(root + sub).entryList(QDir::Files)) {
                const QString unique = name.section(':', 0, 0);
                const std::pair<qint64, qint64> time{
                    unique.section('.', 0, 0).toLongLong(),
                    unique.section('.', 1, 1).section('P', 0, 0).mid(1).toLongLong()};
                byTime[time][unique] = root + sub + "/" + name;
            }
        }
        QStringList files;
        for (const auto& sameTime : byTime)
            files += sameTime.values();
        return files;
    }
    std::string Log() const {
        QFile file(QString::fromStdString(Path("dovecot.log")));
        return file.open(QIODevice::ReadOnly) ? file.readAll().toStdString() : std::string();
    }

    int TlsPort = 0;
    int StartTlsPort = 0;

  private:
    std::string Configuration(const Options& options, uid_t owner) const {
        std::string conf =
            "protocols = imap\nlisten = 127.0.0.1\n"
            "base_dir = " +
            Path("run") + "\nstate_dir = " + Path("state") +
            "\n"
            "log_path = " +
            Path("dovecot.log") +
            "\n"
            "ssl = yes\nssl_cert = <" +
            TestCertificates::Path("good.pem") +
            "\n"
            "ssl_key = <" +
            TestCertificates::Path("good.key") +
            "\n"
            "auth_mechanisms = " +
            options.mechanisms +
            "\n"
            "first_valid_uid = " +
            std::to_string(owner) +
            "\n"
            "mail_location = maildir:~/Maildir\nmail_save_crlf = yes\nauth_failure_delay = 0\n"
            "passdb {\n  driver = passwd-file\n" +
            (options.tokenCheckUrl.empty() ? "" : "  mechanisms = plain login\n") +
            "  args = " + Path("users") + "\n}\n" +
            (options.tokenCheckUrl.empty()
                 ? ""
                 : "passdb {\n  driver = oauth2\n  mechanisms = oauthbearer xoauth2\n  args = " +
                       Path("oauth2.conf") + "\n}\n") +
            "userdb {\n  driver = passwd-file\n  args = " + Path("users") +
            "\n}\n"
            "namespace inbox {\n  inbox = yes\n";
        if (options.sentMailbox)
            conf += "  mailbox Sent {\n    special_use = \\Sent\n    auto = create\n  }\n";
        conf +=
            "}\n"
            "service imap-login {\n"
            "  inet_listener imap {\n    port = " +
            std::to_string(StartTlsPort) +
            "\n  }\n"
            "  inet_listener imaps {\n    port = " +
            std::to_string(TlsPort) +
            "\n    ssl = yes\n  }\n}\n"
            "service anvil {\n  chroot =\n}\nservice stats {\n  chroot =\n}\n";
        return conf;
    }

    std::string Path(const char* name) const { return dir_.filePath(name).toStdString(); }

    void Write(const char* name, const std::string& text) const {
        QFile file(QString::fromStdString(Path(name)));
        if (file.open(QIODevice::WriteOnly))
            file.write(text.data(), static_cast<qint64>(text.size()));
    }

    static sockaddr_in Loopback(int port) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(static_cast<uint16_t>(port));
        return address;
    }

    // A port the system handed out a moment ago; the server binds it next.
    static int FreePort() {
        const int s = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address = Loopback(0);
        socklen_t length = sizeof address;
        const bool ok = bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
                        getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) == 0;
        close(s);
        return ok ? ntohs(address.sin_port) : 0;
    }

    static bool Accepts(int port) {
        const int s = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address = Loopback(port);
        const bool ok = connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
        close(s);
        return ok;
    }

    QTemporaryDir dir_;
    QProcess process_;
    std::string user_;
};
