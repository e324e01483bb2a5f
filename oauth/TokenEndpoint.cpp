#include "oauth/TokenEndpoint.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QUrl>

#include "oauth/FormPost.h"
#include "platform/CodePage.h"
#include "platform/Secret.h"

namespace {

using platform::Sjis;

// More than any token answer holds; a bigger one is no token answer.
constexpr size_t kLongestAnswer = 1 << 20;

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

// application/x-www-form-urlencoded, built in place: the values are the code or the refresh
// token, and no copy of them may be left behind unwiped.
std::string FormBody(const TFormFields& form) {
    size_t longest = 0;
    for (const auto& [name, value] : form)
        longest += 3 * (name.size() + value.size()) + 2;
    std::string body;
    body.reserve(longest);
    const auto add = [&body](const std::string& text) {
        static constexpr char kHex[] = "0123456789ABCDEF";
        for (const char c : text) {
            const auto byte = static_cast<unsigned char>(c);
            if ((byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') ||
                (byte >= '0' && byte <= '9') || byte == '-' || byte == '.' || byte == '_' ||
                byte == '~') {
                body += c;
            } else {
                body += '%';
                body += kHex[byte >> 4];
                body += kHex[byte & 15];
            }
        }
    };
    for (const auto& [name, value] : form) {
        if (!body.empty())
            body += '&';
        add(name);
        body += '=';
        add(value);
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
                          std::chrono::milliseconds TimeOut, const std::string& CAFile) {
    RequireSafeEndpoint(TokenUrl);
    const QUrl url(QString::fromStdString(TokenUrl));
    // A redirect could carry the form somewhere else: the endpoint answers where it is asked,
    // and a 3xx is a failure like any other status.
    std::string body = FormBody(Form);
    THttpAnswer answer;
    std::string failure;
    try {
        answer = PostForm(url, body, {TimeOut, kLongestAnswer, CAFile});
    } catch (const EFormPostError& e) {
        failure = e.Message();
    }
    // The form held the code or the refresh token; the answer holds the tokens.
    platform::WipeSecret(body);
    platform::SecretScope wipeAnswer(answer.Body);
    const QJsonObject object =
        QJsonDocument::fromJson(
            QByteArray::fromRawData(answer.Body.data(), static_cast<qsizetype>(answer.Body.size())))
            .object();
    if (answer.Status == 200 && failure.empty())
        return GrantOf(object);
    const QString error = object.value("error").toString();
    if (!error.isEmpty()) {
        std::string message = Sjis("トークンをもらえませんでした：") + Printable(error);
        const QString description = object.value("error_description").toString();
        if (!description.isEmpty())
            message += " (" + Printable(description) + ")";
        throw ETokenEndpointError(message, error.toStdString());
    }
    throw Exception(Sjis("トークンの取得に失敗しました：") +
                    (failure.empty() ? "HTTP " + std::to_string(answer.Status)
                                     : Printable(QString::fromStdString(failure))));
}
