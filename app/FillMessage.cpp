#include "app/FillMessage.h"

#include <ctime>

#include "app/SendFlowText.h"
#include "jconvert/HeaderWords.h"
#include "jconvert/LongLines.h"
#include "jconvert/jconvert.h"
#include "platform/CodePage.h"
#include "smtp/Zelsmtp.h"

const char* const kLocalProgram = "もこちゃんのぴこぴこ便";

namespace {

// What the From line holds before "<": the sender's name as a phrase and one blank, or nothing.
std::string FromName(const std::string& name, const TWordCharset& charset) {
    const std::string phrase = EncodePhrase(name, charset);
    return phrase.empty() ? phrase : phrase + ' ';
}

void Replace(TStringList& list, const std::string& entry) {
    list.Clear();
    list.Add(entry);
}

}  // namespace

void FillPostMessage(TZelSMTP& client, const TSendSettings& settings, TMessageText& message,
                     bool utf8) {
    client.Charset = utf8 ? "UTF-8" : "iso-2022-jp";
    client.TextIsUtf8 = utf8;
    const TWordCharset& charset = client.WordCharset();
    TPostMessage& post = client.PostMessage;
    post.FromAddress = settings.Email;
    post.Date = Rfc5322Date(std::time(nullptr));
    post.FromName = FromName(utf8 ? settings.NameUtf8 : settings.Name, charset);
    post.Subject = EncodeHeaderText(message.Subject, charset);
    post.LocalProgram = EncodeHeaderText(
        utf8 ? std::string(kLocalProgram) : platform::Sjis(kLocalProgram), charset);
    Replace(post.ToAddress, message.ToAddress);
    Replace(post.ToCarbonCopy, message.ToCarbonCopy);
    Replace(post.ToBlindCarbonCopy, message.ToBlindCarbonCopy);
    // UTF-8 lines go as the client's base64 takes them; ISO-2022-JP ones within the line limit.
    // Each line passes to the client's record and is let go: the body is never held twice.
    post.Body.Clear();
    post.Body.Reserve(static_cast<int>(message.Body.size()));
    for (std::string& line : message.Body) {
        if (utf8) {
            post.Body.Add(std::move(line));
            continue;
        }
        for (std::string& wireLine : BreakJisLine(SjisToJis(line)))
            post.Body.Add(std::move(wireLine));
        std::string().swap(line);
    }
    std::vector<std::string>().swap(message.Body);
}
