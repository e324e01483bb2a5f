#include "app/SendFlowText.h"

#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <limits>
#include <random>

#include "platform/CodePage.h"
#include "platform/Exception.h"

namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool IsDomainText(const std::string& domain) {
    if (domain.empty() || domain.front() == '.' || domain.back() == '.')
        return false;
    for (const char c : domain) {
        const bool letterOrDigit =
            (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
        if (!letterOrDigit && c != '-' && c != '.')
            return false;
    }
    return true;
}

// The character and a blank, where code page 932 holds it; nothing otherwise.
std::string Shown(char32_t c) {
    try {
        return platform::Utf8ToSjis(QString::fromUcs4(&c, 1).toStdString()) + " ";
    } catch (const ECodePageError&) {
        return std::string();
    }
}

}  // namespace

int32_t StrToInt(const std::string& S) {
    const auto fail = [&S]() -> EConvertError {
        return EConvertError("'" + S + platform::Sjis("' は整数ではありません"));
    };
    size_t i = S.find_first_not_of(" \t");
    if (i == std::string::npos)
        throw fail();
    const bool negative = S[i] == '-';
    if (S[i] == '+' || S[i] == '-')
        ++i;
    int base = 10;
    if (i < S.size() && (S[i] == '$' || S[i] == 'x' || S[i] == 'X')) {
        base = 16;
        i += 1;
    } else if (i + 1 < S.size() && S[i] == '0' && (S[i + 1] == 'x' || S[i + 1] == 'X')) {
        base = 16;
        i += 2;
    }
    if (i == S.size())
        throw fail();
    const int64_t limit = negative ? -int64_t{std::numeric_limits<int32_t>::min()}
                                   : int64_t{std::numeric_limits<int32_t>::max()};
    int64_t value = 0;
    for (; i < S.size(); ++i) {
        const int digit = HexDigit(S[i]);
        if (digit < 0 || digit >= base)
            throw fail();
        value = value * base + digit;
        if (value > limit)
            throw fail();
    }
    return static_cast<int32_t>(negative ? -value : value);
}

std::string Rfc5322Date(std::time_t moment) {
    // Fixed English names: the header must not follow the user's locale.
    static const char* const kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    std::tm local{};
    localtime_r(&moment, &local);
    const long offset = local.tm_gmtoff / 60;
    const long absolute = offset < 0 ? -offset : offset;
    char text[64];
    std::snprintf(text, sizeof text, "%s, %02d %s %04d %02d:%02d:%02d %c%02ld%02ld",
                  kDays[local.tm_wday], local.tm_mday, kMonths[local.tm_mon], local.tm_year + 1900,
                  local.tm_hour, local.tm_min, local.tm_sec, offset < 0 ? '-' : '+', absolute / 60,
                  absolute % 60);
    return text;
}

std::string NewMessageId(const std::string& senderAddress) {
    static std::atomic<unsigned> counter{0};
    static std::mt19937_64 random{std::random_device{}()};
    const size_t at = senderAddress.rfind('@');
    std::string domain = at == std::string::npos ? "" : senderAddress.substr(at + 1);
    if (!IsDomainText(domain))
        domain = "localhost";
    char unique[96];
    std::snprintf(unique, sizeof unique, "%lld.%ld.%u.%016llx",
                  static_cast<long long>(std::time(nullptr)), static_cast<long>(getpid()),
                  ++counter, static_cast<unsigned long long>(random()));
    return "<" + std::string(unique) + "@" + domain + ">";
}

std::string UserDefinedCharMessage(const char* fieldUtf8, const std::string& character) {
    const std::u32string unicode = platform::FromSjis(character).toStdU32String();
    return UserDefinedCharMessage(fieldUtf8, unicode.empty() ? 0 : unicode[0]);
}

std::string UserDefinedCharMessage(const char* fieldUtf8, char32_t character) {
    return platform::Sjis(
        "{1}に、外字 {2}({3}) があります。外字は相手に届かないので、この文字を直してから送信してね。",
        {platform::Sjis(fieldUtf8), Shown(character), platform::CodePointName(character)});
}

std::string UnencodableCharMessage(const char* fieldUtf8, char32_t character) {
    return platform::Sjis(
        "{1}に、ISO-2022-JP で表せない文字 {2}({3}) があります。この文字を直してから送信してね。",
        {platform::Sjis(fieldUtf8), Shown(character), platform::CodePointName(character)});
}

std::string NonAsciiAddressMessage(const char* fieldUtf8, char32_t character) {
    return platform::Sjis(
        "{1}のメールアドレスに、ASCII 以外の文字 {2}({3}) があります。"
        "メールアドレスは半角英数字で書いてから送信してね。",
        {platform::Sjis(fieldUtf8), Shown(character), platform::CodePointName(character)});
}

namespace {

std::string MachineDependentList(const std::vector<std::string>& characters) {
    std::string text = platform::Sjis("機種依存文字が含まれています：");
    for (const std::string& c : characters)
        text += c;
    return text;
}

}  // namespace

std::string MachineDependentQuestion(const std::vector<std::string>& characters) {
    return MachineDependentList(characters) + platform::Sjis("。このまま送信しますか?");
}

std::string MachineDependentWarning(const std::vector<std::string>& characters) {
    return MachineDependentList(characters) +
           platform::Sjis("。相手の環境では別の文字に見えることがあります。");
}

std::string MissingSettingsText(const std::string& missing) {
    return platform::Sjis("送信するには、オプション設定の {1} が必要です。", {missing});
}

std::string MissingSettingsQuestion(const std::string& missing) {
    return MissingSettingsText(missing) + platform::Sjis("\nオプション設定を開きますか?");
}

int32_t PortNumber(const std::string& text) {
    const int32_t port = text.empty() ? 25 : StrToInt(text);
    if (port < 1 || port > 65535) {
        throw ERangeError(platform::Sjis("ポート番号 {1} は 1 から 65535 の範囲にありません",
                                         {std::to_string(port)}));
    }
    return port;
}
