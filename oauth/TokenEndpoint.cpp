#include "oauth/TokenEndpoint.h"

#include <QEventLoop>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>
#include <QUrl>
#include <memory>

#include "platform/CodePage.h"

namespace {

using platform::Sjis;

// More than any token answer holds; a bigger one is no token answer.
constexpr qint64 kLongestAnswer = 1 << 20;

bool IsLoopback(const QUrl& url) {
    const QString host = url.host();
    return host == "127.0.0.1" || host == "::1" || host == "localhost";
}

// What the provider said, in printable ASCII only: it ends up in a message box or a terminal.
std::string Printable(const QString& text) {
    std::string shown;
    for (const QChar c : text.left(300))
        shown += c.unicode() >= 0x20 && c.unicode() < 0x7f ? static_cast<char>(c.unicode()) : '?';
    return shown;
}

QByteArray FormBody(const TFormFields& form) {
    QByteArray body;
    for (const auto& [name, value] : form) {
        if (!body.isEmpty())
            body += '&';
        body += QUrl::toPercentEncoding(QString::fromStdString(name)) + '=' +
                QUrl::toPercentEncoding(QString::fromStdString(value));
    }
    return body;
}

TTokenGrant GrantOf(const QJsonObject& answer) {
    const QString type = answer.value("token_type").toString();
    if (!type.isEmpty() && type.compare("bearer", Qt::CaseInsensitive) != 0)
        throw Exception(Sjis("トークンの種類 \"") + Printable(type) + Sjis("\" は使えません"));
    TTokenGrant grant{answer.value("access_token").toString().toStdString(),
                      answer.value("refresh_token").toString().toStdString(),
                      std::chrono::seconds(answer.value("expires_in").toInteger())};
    if (grant.AccessToken.empty())
        throw Exception(Sjis("トークンの応答にアクセストークンがありません"));
    return grant;
}

}  // namespace

void RequireSafeEndpoint(const std::string& Url) {
    const QUrl url(QString::fromStdString(Url), QUrl::StrictMode);
    const bool safe = url.isValid() && !url.host().isEmpty() &&
                      (url.scheme() == "https" || (url.scheme() == "http" && IsLoopback(url)));
    if (!safe) {
        throw Exception(Sjis("OAuth のアドレス \"") + Printable(QString::fromStdString(Url)) +
                        Sjis("\" は使えません（https か、このパソコンの http だけです）"));
    }
}

TTokenGrant RequestTokens(const std::string& TokenUrl, const TFormFields& Form,
                          std::chrono::milliseconds TimeOut) {
    RequireSafeEndpoint(TokenUrl);
    const QUrl url(QString::fromStdString(TokenUrl));
    QNetworkAccessManager manager;
    if (IsLoopback(url))
        manager.setProxy(QNetworkProxy::NoProxy);
    QNetworkRequest request(url);
    request.setHeader(QNetworkRequest::ContentTypeHeader, "application/x-www-form-urlencoded");
    request.setRawHeader("Accept", "application/json");
    // A redirect could carry the form somewhere else; the endpoint answers where it is asked.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::ManualRedirectPolicy);
    request.setTransferTimeout(static_cast<int>(TimeOut.count()));
    QByteArray body = FormBody(Form);
    QByteArray data;
    int status = 0;
    QString failure;
    {
        std::unique_ptr<QNetworkReply> reply(manager.post(request, body));
        QEventLoop loop;
        QObject::connect(reply.get(), &QNetworkReply::finished, &loop, &QEventLoop::quit);
        QObject::connect(reply.get(), &QNetworkReply::downloadProgress, reply.get(),
                         [&reply](qint64 received, qint64) {
                             if (received > kLongestAnswer)
                                 reply->abort();
                         });
        QTimer::singleShot(TimeOut + std::chrono::seconds(1), &loop, &QEventLoop::quit);
        if (!reply->isFinished())
            loop.exec(QEventLoop::ExcludeUserInputEvents);
        if (!reply->isFinished())
            reply->abort();
        status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        data = reply->readAll();
        if (reply->error() != QNetworkReply::NoError)
            failure = reply->errorString();
    }
    // The reply is gone, so this is the last copy of the form: it held the code or the refresh
    // token.
    body.fill('\0');
    const QJsonObject answer = QJsonDocument::fromJson(data).object();
    data.fill('\0');
    if (status == 200 && failure.isEmpty())
        return GrantOf(answer);
    const QString error = answer.value("error").toString();
    if (!error.isEmpty()) {
        std::string message = Sjis("トークンをもらえませんでした：") + Printable(error);
        const QString description = answer.value("error_description").toString();
        if (!description.isEmpty())
            message += " (" + Printable(description) + ")";
        throw ETokenEndpointError(message, error.toStdString());
    }
    throw Exception(Sjis("トークンの取得に失敗しました：") +
                    (failure.isEmpty() ? "HTTP " + std::to_string(status) : Printable(failure)));
}
