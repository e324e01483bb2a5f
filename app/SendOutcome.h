#pragma once
// How a send ended and the words that tell the user why. The compose window and tidemark-send
// both take their texts from here, so they always say the same thing. New outcomes and causes
// are one more enumerator and one more row of the table in SendOutcome.cpp.
#include <cstdint>
#include <exception>
#include <string>
#include <vector>

#include "platform/Tls.h"
#include "smtp/Zelsmtp.h"

enum class TSendOutcome {
    None,             // no send has run yet
    EmptyTo,          // the To field was empty
    MissingSettings,  // no SMTP server or no sender address: nothing connected
    Rejected,         // a field the checks before connecting refuse: nothing connected
    Unencodable,      // a character ISO-2022-JP cannot carry
    Declined,         // the user chose not to send
    NoPassword,       // AUTH needed a password and none was to be had
    NoToken,          // AUTH needed an OAuth access token and none was to be had
    Sent,             // accepted for every recipient (its Sent copy may still have failed)
    SentToSome,       // accepted for some recipients, refused for the others
    Failed,           // not sent
    NoReply           // the reply to the end of the message never came: it may have arrived
};

// What the send flow knows about a failed send besides the exception that ended it.
struct TFailureScene {
    std::string Host;
    int32_t Port = 25;
    TSecurity Security = secNone;
    bool ConnectFailed = false;  // the client reported a failed connection attempt
    bool SessionOpen = false;    // greeting and HELO/EHLO were through
    std::vector<TRefusedRecipient> Refused;
    bool Utf8 = false;  // the refused entries are UTF-8, not Shift_JIS
};

// The lines (Shift_JIS) shown beneath "送信に失敗したよ。"; empty when there is nothing to add.
std::string FailureCause(const std::exception& e, const TFailureScene& scene);

// The line beneath "接続は失敗しました": which server and port could not be reached.
std::string ConnectionCause(const TFailureScene& scene);

// The lines after "メールを送信したよ。" when some recipients were refused: each refused entry as
// typed (utf8: the entries are UTF-8) with the server's reply, and what became of the fields.
std::string RefusedRecipientsText(const std::vector<TRefusedRecipient>& refused, bool utf8);

// The line of a failure box: the first line, then the cause beneath it when there is one.
std::string WithCause(const char* firstLineUtf8, const std::string& cause);

// The note in the status panel that the message goes out in UTF-8, naming the character
// ISO-2022-JP could not carry.
std::string Utf8Notice(char32_t character);

// Why a server's certificate was not accepted (UTF-8).
const char* CertificateReason(platform::TlsVerifyFailure reason);

// Why the copy of a sent message was not kept in the mailbox folder (Shift_JIS; empty: "Sent"),
// and the box that tells it: the message went out all the same.
std::string SentCopyCause(const std::exception& e, const std::string& folder);
std::string CopyNotSavedText(const std::string& cause);
