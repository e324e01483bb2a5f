#pragma once
// The command line of tidemark-send.
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/Exception.h"

// A command line that cannot be followed; the message says why (UTF-8).
class EUsageError : public Exception {
    using Exception::Exception;
};

// Arguments as given, still in the encoding the caller named.
struct TSendOptions {
    std::optional<std::string> To;
    std::string Cc;
    std::string Bcc;
    std::string Subject;
    std::optional<std::string> BodyFile;
    // Files to attach, in the order given.
    std::vector<std::string> Attachments;
    // Setting name ("Smtp", "Port", "UserID", "Name", "Email", "Security", "AuthUser",
    // "CAFile", "AuthMethod", "OAuthTokenCommand", "OAuthAuthorizeUrl", ...) -> value for this
    // run.
    std::map<std::string, std::string> Overrides;
    // A shell command whose first output line is the AUTH password.
    std::optional<std::string> PasswordCommand;
    std::string Encoding = "utf-8";
    // The usual wait for the server, and the wait for its reply to the end of the message.
    int32_t TimeOutSeconds = 5;
    int32_t DataTimeOutSeconds = 600;
    // Sign the AUTH user in with OAuth 2.0 instead of sending; NoBrowser only prints the address
    // to open.
    bool SignIn = false;
    bool NoBrowser = false;
    bool Verbose = false;
    bool Strict = false;
    bool Help = false;
    bool Version = false;
};

// Reads the arguments after the program name; raises EUsageError for anything it cannot take.
TSendOptions ParseSendOptions(const std::vector<std::string>& args);

// The option that overrides a setting ("UserID" -> "--user-id").
std::string OptionForSetting(const std::string& setting);

// The usage text (UTF-8), ending in a line break.
std::string SendUsage();
