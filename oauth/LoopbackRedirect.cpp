#include "oauth/LoopbackRedirect.h"

#include <QEventLoop>
#include <QTimer>
#include <QUrl>
#include <QUrlQuery>
#include <optional>

#include "platform/CodePage.h"

namespace {

using platform::Sjis;

// A request line and headers of a browser fit many times over.
constexpr qsizetype kLongestRequest = 16384;

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

TLoopbackRedirect::TLoopbackRedirect() {
    if (!server_.listen(QHostAddress::LocalHost, 0))
        throw Exception(Sjis("サインインの戻り先を用意できません：") +
                        server_.errorString().toStdString());
    redirectUri_ = "http://127.0.0.1:" + std::to_string(server_.serverPort()) + "/";
}

TLoopbackRedirect::~TLoopbackRedirect() {
    if (waiting_)
        Finish(false, Sjis("サインインは途中で終わりました。"));
}

std::string TLoopbackRedirect::RedirectUri() const {
    return redirectUri_;
}

std::string TLoopbackRedirect::AwaitCode(const std::string& State,
                                         std::chrono::milliseconds TimeOut,
                                         const std::function<bool()>& Canceled) {
    QEventLoop loop;
    std::optional<std::string> code;
    std::string refusal;
    // Each connection is read as its bytes come: a browser may open one and send nothing.
    QObject::connect(&server_, &QTcpServer::newConnection, &loop, [&] {
        while (QTcpSocket* socket = server_.nextPendingConnection()) {
            socket->setParent(&loop);
            QObject::connect(socket, &QTcpSocket::readyRead, &loop, [&, socket] {
                if (code || !refusal.empty())
                    return;
                const QByteArray bytes = socket->peek(kLongestRequest);
                const std::optional<TRequest> request = ParseRequest(bytes);
                if (!request && bytes.size() < kLongestRequest)
                    return;
                if (!request || request->Path != "/") {
                    Answer(socket, 404, Page("Not Found", ""));
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
                socket->setParent(nullptr);
                waiting_.reset(socket);
                loop.quit();
            });
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
    server_.close();
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
    if (!waiting_)
        return;
    Answer(waiting_.get(), Succeeded ? 200 : 400,
           Succeeded
               ? Page("サインインしました",
                      "Tidemark でメールを送れるようになりました。このページは閉じてかまいません。")
               : FailurePage(Reason));
    waiting_.reset();
}

// The page, and the connection closed after it; bounded, so a browser that stopped reading
// holds nothing up.
void TLoopbackRedirect::Answer(QTcpSocket* socket, int status, const std::string& page) {
    const char* reason = status == 200 ? "OK" : status == 404 ? "Not Found" : "Bad Request";
    const std::string response = "HTTP/1.1 " + std::to_string(status) + " " + reason +
                                 "\r\nContent-Type: text/html; charset=utf-8\r\nContent-Length: " +
                                 std::to_string(page.size()) +
                                 "\r\nCache-Control: no-store\r\nConnection: close\r\n\r\n" + page;
    socket->write(response.data(), static_cast<qint64>(response.size()));
    socket->waitForBytesWritten(2000);
    socket->disconnectFromHost();
}
