#pragma once
// The copy of a sent message in the user's Sent mailbox, kept over IMAP when the settings ask
// for it. A copy that cannot be kept never undoes the send: it only yields the reason, for a
// warning.
#include <functional>
#include <optional>
#include <string>

#include "platform/Secret.h"

// The settings of the copy, Shift_JIS as stored.
struct TSentCopySettings {
    std::string SaveSent;      // "1": keep a copy
    std::string ImapHost;      // empty: the SMTP server's host
    std::string ImapPort;      // empty: 993 for "tls", 143 for "starttls"
    std::string ImapSecurity;  // "tls" (also when empty) or "starttls"
    std::string ImapUser;      // empty: the AUTH user
    std::string SentFolder;    // empty: the mailbox the server marks \Sent, else "Sent"

    bool Wanted() const { return SaveSent == "1"; }
};

// What the copy needs from the send it follows.
struct TSentCopyContext {
    std::string SmtpHost;      // Shift_JIS
    std::string AuthUser;      // Shift_JIS
    platform::TSecret AuthPassword;  // UTF-8
    std::string CAFile;        // UTF-8 path, empty: the system's trusted set
    int32_t TimeOut = 5000;
    int32_t ReportLevel = 0;
    std::function<void(const std::string& status)> OnStatus;
    // The password of another user (Shift_JIS) at the IMAP server (Shift_JIS), UTF-8; nullopt
    // when there is none to be had.
    std::function<std::optional<platform::TSecret>(const std::string& user,
                                                   const std::string& host)>
        PasswordOf;
    // AuthPassword is an OAuth 2.0 access token, and this gives a fresh one when the IMAP
    // server refuses it.
    bool OAuth = false;
    std::function<std::string()> FreshToken = nullptr;
};

// Raises Exception for a port or a protection that cannot be used, before anything is sent.
void CheckSentCopySettings(const TSentCopySettings& settings);

// Stores message (the bytes the SMTP server accepted, with the Bcc line) in the Sent mailbox.
// Returns empty when it was stored, else why not (Shift_JIS).
std::string SaveSentCopy(const TSentCopySettings& settings, const TSentCopyContext& context,
                         const std::string& message);
