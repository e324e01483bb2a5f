#include "oauth/LoopbackRedirect.h"

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <QEventLoop>
#include <QSocketNotifier>
#include <QTimer>
#include <QUrl>
#include <QUrlQuery>

#include <cerrno>
#include <cstring>
#include <memory>
#include <optional>
#include <vector>

#include "platform/CodePage.h"

namespace {

using platform::Sjis;

// A request line and headers of a browser fit many times over.
constexpr qsizetype kLongestRequest = 16384;
// Connections open at once; a new one pushes out the oldest, so idle ones cannot lock the
// browser out.
constexpr size_t kMostConnections = 16;
// How long a page may take to go out to a browser that stopped reading.
constexpr int kAnswerMilliseconds = 2000;

std::string HtmlEscaped(const std::string& utf8) {
    return QString::fromStdString(utf8).toHtmlEscaped().toStdString();
}

std::string Page(const char* heading, const std::string& detailUtf8) {
    return "<!DOCTYPE html>\n<html lang=\"ja\"><head><meta charset=\"utf-8\">"
           "<title>Tidemark</title></head>\n<body><h1>" +
           std::string(heading) + "</h1>\n<p>" + HtmlEscaped(detailUtf8) + "</p></body></html>\n";
}

std::string FailurePage(const std::string& reasonSjis) {
    return Page(
        "サインインできませんでした",
        platform::SjisToUtf8(reasonSjis) + " このページを閉じて、もう一度サインインしてね。");
}

// What the browser asked for, once its request line and headers are complete.
struct TRequest {
    QString Path;
    QUrlQuery Query;
};

std::optional<TRequest> ParseRequest(const QByteArray& bytes) {
    if (!bytes.contains("\r\n\r\n"))
        return std::nullopt;
    const QList<QByteArray> words = bytes.left(bytes.indexOf("\r\n")).split(' ');
    TRequest request;
    if (words.size() == 3 && words[0] == "GET") {
        const QUrl target(QString::fromLatin1(words[1]));
        request.Path = target.path();
        request.Query = QUrlQuery(target);
    }
    return request;
}

}  // namespace

// One connection of the browser's (or anyone's on this machine), read as its bytes come.
struct TLoopbackRedirect::TConnection {
    explicit TConnection(int socket) : Socket(socket), Notifier(socket, QSocketNotifier::Read) {}
    ~TConnection() {
        Notifier.setEnabled(false);
        if (Socket >= 0)
            close(Socket);
    }
    TConnection(const TConnection&) = delete;
    TConnection& operator=(const TConnection&) = delete;

    // Takes what has come, up to the bound; false once the peer has closed or failed.
    bool Read() {
        char buffer[4096];
        for (;;) {
            const ssize_t n = recv(Socket, buffer, sizeof buffer, 0);
            if (n > 0) {
                Bytes.append(buffer, std::min<qsizetype>(n, kLongestRequest - Bytes.size()));
                continue;
            }
            if (n < 0 && errno == EINTR)
                continue;
            return n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK);
        }
    }

    int Socket;
    QSocketNotifier Notifier;
    QByteArray Bytes;
    bool Done = false;  // answered, or handed over: nothing more is read
};

TLoopbackRedirect::TLoopbackRedirect() {
    listener_ = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (listener_ < 0 || bind(listener_, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        listen(listener_, SOMAXCONN) != 0 ||
        getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        const std::string reason = std::strerror(errno);
        StopListening();
        throw Exception(Sjis("サインインの戻り先を用意できません：") + reason);
    }
    redirectUri_ = "http://127.0.0.1:" + std::to_string(ntohs(address.sin_port)) + "/";
}

TLoopbackRedirect::~TLoopbackRedirect() {
    if (waiting_ >= 0)
        Finish(false, Sjis("サインインは途中で終わりました。"));
    StopListening();
}

void TLoopbackRedirect::StopListening() {
    if (listener_ >= 0)
        close(listener_);
    listener_ = -1;
}

std::string TLoopbackRedirect::RedirectUri() const {
    return redirectUri_;
}

std::string TLoopbackRedirect::AwaitCode(const std::string& State,
                                         std::chrono::milliseconds TimeOut,
                                         const std::function<bool()>& Canceled) {
    if (listener_ < 0)
        throw Exception(Sjis("ブラウザーからサインインの応答が来ませんでした。"));
    QEventLoop loop;
    std::optional<std::string> code;
    std::string refusal;
    std::vector<std::unique_ptr<TConnection>> connections;
    // Each connection is read as its bytes come: a browser may open one and send nothing.
    const auto take = [&](TConnection& connection) {
        if (connection.Done || code || !refusal.empty())
            return;
        const bool open = connection.Read();
        const std::optional<TRequest> request = ParseRequest(connection.Bytes);
        if (!request && open && connection.Bytes.size() < kLongestRequest)
            return;
        connection.Done = true;
        connection.Notifier.setEnabled(false);
        if (!request || request->Path != "/") {
            Answer(connection.Socket, 404, Page("Not Found", ""));
            return;
        }
        const QUrlQuery& query = request->Query;
        if (query.queryItemValue("state", QUrl::FullyDecoded).toStdString() != State) {
            refusal = Sjis("サインインの応答が、このサインインのものではありません。");
        } else if (query.hasQueryItem("error")) {
            refusal = Sjis("プロバイダーが断りました：") +
                      query.queryItemValue("error").toLatin1().left(100).toStdString();
        } else if (query.queryItemValue("code").isEmpty()) {
            refusal = Sjis("サインインの応答にコードがありません。");
        } else {
            code = query.queryItemValue("code", QUrl::FullyDecoded).toStdString();
        }
        waiting_ = connection.Socket;
        connection.Socket = -1;
        loop.quit();
    };
    QSocketNotifier incoming(listener_, QSocketNotifier::Read);
    QObject::connect(&incoming, &QSocketNotifier::activated, &loop, [&] {
        int socket;
        while ((socket = accept4(listener_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC)) >= 0) {
            // Connections done with are let go here, outside their own notifications.
            std::erase_if(connections, [](const auto& connection) { return connection->Done; });
            if (connections.size() == kMostConnections)
                connections.erase(connections.begin());
            connections.push_back(std::make_unique<TConnection>(socket));
            TConnection* connection = connections.back().get();
            QObject::connect(&connection->Notifier, &QSocketNotifier::activated, &loop,
                             [&take, connection] { take(*connection); });
        }
    });
    QTimer::singleShot(TimeOut, &loop, &QEventLoop::quit);
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (Canceled && Canceled())
            loop.quit();
    });
    poll.start(200);
    loop.exec();
    incoming.setEnabled(false);
    StopListening();
    connections.clear();
    if (!refusal.empty()) {
        Finish(false, refusal);
        throw Exception(refusal);
    }
    if (!code && Canceled && Canceled())
        throw Exception(Sjis("サインインをやめました。"));
    if (!code)
        throw Exception(Sjis("ブラウザーからサインインの応答が来ませんでした。"));
    return *code;
}

void TLoopbackRedirect::Finish(bool Succeeded, const std::string& Reason) {
    if (waiting_ < 0)
        return;
    Answer(waiting_, Succeeded ? 200 : 400,
           Succeeded
               ? Page("サインインしました",
                      "Tidemark でメールを送れるようになりました。このページは閉じてかまいません。")
               : FailurePage(Reason));
    close(waiting_);
    waiting_ = -1;
}

// The page, and the sending side closed after it; bounded, so a browser that stopped reading
// holds nothing up. The caller closes the socket.
void TLoopbackRedirect::Answer(int socket, int status, const std::string& page) {
    const char* reason = status == 200 ? "OK" : status == 404 ? "Not Found" : "Bad Request";
    const std::string response = "HTTP/1.1 " + std::to_string(status) + " " + reason +
                                 "\r\nContent-Type: text/html; charset=utf-8\r\nContent-Length: " +
                                 std::to_string(page.size()) +
                                 "\r\nCache-Control: no-store\r\nConnection: close\r\n\r\n" + page;
    size_t sent = 0;
    while (sent < response.size()) {
        const ssize_t n =
            send(socket, response.data() + sent, response.size() - sent, MSG_NOSIGNAL);
        if (n > 0) {
            sent += static_cast<size_t>(n);
            continue;
        }
        pollfd ready{socket, POLLOUT, 0};
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)
            break;
        if (n == 0 || poll(&ready, 1, kAnswerMilliseconds) <= 0)
            break;
    }
    shutdown(socket, SHUT_WR);
}
