#include "cli/SendOptions.h"

#include <set>
#include <string_view>

#include "oauth/OAuthConfig.h"

namespace {

// Options that take a value, with the setting each override replaces ("" for message fields).
// clang-format off
const std::map<std::string_view, std::string_view> kValueOptions = {
    {"--to", ""},       {"--cc", ""},         {"--bcc", ""},
    {"--subject", ""},  {"--body-file", ""},  {"--encoding", ""},
    {"--attach", ""},
    {"--smtp", "Smtp"}, {"--port", "Port"},   {"--user-id", "UserID"},
    {"--name", "Name"}, {"--email", "Email"},
    {"--security", "Security"},
    {"--auth-user", "AuthUser"},
    {"--ca-file", "CAFile"},
    {"--password-command", ""},
    {"--auth-method", "AuthMethod"},
    {"--oauth-token-command", "OAuthTokenCommand"},
    {"--oauth-provider", ""},
    {"--oauth-authorize-url", "OAuthAuthorizeUrl"},
    {"--oauth-token-url", "OAuthTokenUrl"},
    {"--oauth-client-id", "OAuthClientId"},
    {"--oauth-client-secret", "OAuthClientSecret"},
    {"--oauth-scope", "OAuthScope"},
    {"--charset", "Charset"},
    {"--imap-host", "ImapHost"},
    {"--imap-port", "ImapPort"},
    {"--imap-security", "ImapSecurity"},
    {"--imap-user", "ImapUser"},
    {"--sent-folder", "SentFolder"},
};
// clang-format on

// Options that take no value.
const std::map<std::string_view, bool TSendOptions::*> kFlagOptions = {
    {"--verbose", &TSendOptions::Verbose},
    {"--strict", &TSendOptions::Strict},
    {"--help", &TSendOptions::Help},
    {"--version", &TSendOptions::Version},
    {"--oauth-sign-in", &TSendOptions::SignIn},
    {"--no-browser", &TSendOptions::NoBrowser},
};

// Options that take no value and turn a setting on ("1") for this run.
const std::map<std::string_view, std::string_view> kSettingFlags = {
    {"--save-sent", "SaveSent"},
};

void RequireNoValue(const std::string& name, const std::optional<std::string>& value) {
    if (value)
        throw EUsageError(name + " takes no value");
}

// Options that take a wait in whole seconds.
const std::map<std::string_view, int32_t TSendOptions::*> kSecondsOptions = {
    {"--timeout", &TSendOptions::TimeOutSeconds},
    {"--data-timeout", &TSendOptions::DataTimeOutSeconds},
};

// A day at most: a longer wait is surely a slip, and none may be 0, which would never end.
int32_t Seconds(const std::string& name, const std::string& value) {
    constexpr int32_t kLongest = 86400;
    const bool digits = !value.empty() && value.size() <= 5 &&
                        value.find_first_not_of("0123456789") == std::string::npos;
    const int32_t seconds = digits ? std::stoi(value) : 0;
    if (seconds < 1 || seconds > kLongest) {
        throw EUsageError(name + " must be a whole number of seconds from 1 to " +
                          std::to_string(kLongest) + ", not '" + value + "'");
    }
    return seconds;
}

void RequireCharset(const std::string& value) {
    if (value != "auto" && value != "iso-2022-jp" && value != "utf-8")
        throw EUsageError("--charset must be auto, iso-2022-jp or utf-8, not '" + value + "'");
}

// A provider's endpoints and scope, where this run gives none of its own.
void FillProvider(TSendOptions& options, const std::string& name) {
    const std::optional<TOAuthEndpoints> preset = OAuthPreset(name);
    if (!preset) {
        throw EUsageError("--oauth-provider must be microsoft, microsoft:TENANT or google, not '" +
                          name + "'");
    }
    options.Overrides.try_emplace("OAuthAuthorizeUrl", preset->AuthorizeUrl);
    options.Overrides.try_emplace("OAuthTokenUrl", preset->TokenUrl);
    options.Overrides.try_emplace("OAuthScope", preset->Scope);
}

void Store(TSendOptions& options, const std::string& name, std::string value) {
    if (const auto seconds = kSecondsOptions.find(name); seconds != kSecondsOptions.end()) {
        options.*(seconds->second) = Seconds(name, value);
        return;
    }
    const std::string_view setting = kValueOptions.at(name);
    if (name == "--charset")
        RequireCharset(value);
    if (name == "--auth-method" && value != "password" && value != "oauth")
        throw EUsageError("--auth-method must be password or oauth, not '" + value + "'");
    if (name == "--oauth-provider") {
        FillProvider(options, value);
        return;
    }
    if (!setting.empty()) {
        options.Overrides[std::string(setting)] = std::move(value);
    } else if (name == "--to") {
        options.To = std::move(value);
    } else if (name == "--cc") {
        options.Cc = std::move(value);
    } else if (name == "--bcc") {
        options.Bcc = std::move(value);
    } else if (name == "--subject") {
        options.Subject = std::move(value);
    } else if (name == "--attach") {
        options.Attachments.push_back(std::move(value));
    } else if (name == "--body-file") {
        options.BodyFile = std::move(value);
    } else if (name == "--password-command") {
        options.PasswordCommand = std::move(value);

    } else if (value == "utf-8" || value == "cp932") {
        options.Encoding = std::move(value);
    } else {
        throw EUsageError("--encoding must be utf-8 or cp932, not '" + value + "'");
    }
}

}  // namespace

TSendOptions ParseSendOptions(const std::vector<std::string>& args) {
    TSendOptions options;
    std::set<std::string> seen;
    for (size_t i = 0; i < args.size(); ++i) {
        std::string name = args[i];
        std::optional<std::string> value;
        if (const size_t eq = name.find('='); name.starts_with("--") && eq != std::string::npos) {
            value = name.substr(eq + 1);
            name.resize(eq);
        }
        // A repeated option would silently drop a recipient or a setting: refuse it. Each
        // --attach adds a file.
        if (!seen.insert(name).second && name != "--attach")
            throw EUsageError(name + " given more than once");
        if (const auto flag = kFlagOptions.find(name); flag != kFlagOptions.end()) {
            RequireNoValue(name, value);
            options.*(flag->second) = true;
            continue;
        }
        if (const auto setting = kSettingFlags.find(name); setting != kSettingFlags.end()) {
            RequireNoValue(name, value);
            options.Overrides[std::string(setting->second)] = "1";
            continue;
        }
        if (!kValueOptions.contains(name) && !kSecondsOptions.contains(name))
            throw EUsageError("unknown argument '" + name + "'");
        if (!value) {
            if (i + 1 == args.size())
                throw EUsageError(name + " needs a value");
            value = args[++i];
        }
        Store(options, name, std::move(*value));
    }
    if (!options.Help && !options.Version && !options.SignIn && !options.To)
        throw EUsageError("--to is required");
    if (options.NoBrowser && !options.SignIn)
        throw EUsageError("--no-browser goes with --oauth-sign-in");
    return options;
}

std::string OptionForSetting(const std::string& setting) {
    for (const auto* options : {&kValueOptions, &kSettingFlags}) {
        for (const auto& [option, overridden] : *options) {
            if (overridden == setting)
                return std::string(option);
        }
    }
    return setting;
}

std::string SendUsage() {
    return "usage: tidemark-send --to TEXT [--cc TEXT] [--bcc TEXT] [--subject TEXT]\n"
           "                     [--body-file PATH] [--attach PATH]... [--encoding utf-8|cp932]\n"
           "                     [--strict]\n"
           "                     [--charset auto|iso-2022-jp|utf-8]\n"
           "                     [--smtp HOST] [--port TEXT] [--user-id TEXT]\n"
           "                     [--name TEXT] [--email TEXT]\n"
           "                     [--security none|starttls|tls] [--auth-user TEXT]\n"
           "                     [--password-command CMD] [--ca-file PATH]\n"
           "                     [--timeout SECONDS] [--data-timeout SECONDS]\n"
           "                     [--save-sent] [--imap-host HOST] [--imap-port TEXT]\n"
           "                     [--imap-security tls|starttls] [--imap-user TEXT]\n"
           "                     [--sent-folder NAME]\n"
           "                     [--auth-method password|oauth] [--oauth-token-command CMD]\n"
           "                     [--oauth-provider microsoft[:TENANT]|google]\n"
           "                     [--oauth-authorize-url URL] [--oauth-token-url URL]\n"
           "                     [--oauth-client-id ID] [--oauth-client-secret TEXT]\n"
           "                     [--oauth-scope TEXT]\n"
           "                     [--verbose] [--help] [--version]\n"
           "       tidemark-send --oauth-sign-in [--no-browser] --auth-user TEXT [OAuth options]\n"
           "Sends one message through the stored SMTP settings; --smtp, --port, --user-id,\n"
           "--name, --email, --security, --auth-user and --ca-file replace a stored setting\n"
           "for this run only. The body is read from --body-file (a file or a FIFO), or\n"
           "from standard input when it is absent, up to 10 MiB (10485760 bytes); a longer\n"
           "body is refused. --to, --cc and --bcc may each hold several addresses,\n"
           "separated by commas. Each --attach adds a file, in the order given; one that\n"
           "cannot be read stops the run before anything is sent. A server that names its\n"
           "largest message (SIZE) is told the size, and a larger message is not sent.\n"
           "The message goes out in ISO-2022-JP when every text fits it, else in UTF-8\n"
           "(--charset auto, the default unless the stored setting says otherwise);\n"
           "--charset iso-2022-jp refuses what ISO-2022-JP cannot carry, utf-8 always uses it.\n"
           "Machine-dependent characters (①, ㈱, 髙, ...) are sent with a warning on standard\n"
           "error; --strict refuses them instead.\n"
           "--security starttls (usually port 587) or tls (usually port 465) protects the\n"
           "connection; AUTH (PLAIN, else LOGIN) is used only over it. The password is the\n"
           "first line that `/bin/sh -c CMD` prints for --password-command, else the desktop\n"
           "keyring's; it is never asked for. --ca-file names a PEM bundle to trust instead\n"
           "of the system's.\n"
           "--timeout bounds each wait for the server in seconds (default 5), except the\n"
           "wait for its reply to the end of the message: --data-timeout (default 600).\n"
           "--save-sent keeps a copy of the sent message, with a Bcc line, in the IMAP\n"
           "mailbox marked \\Sent (else \"Sent\"; --sent-folder names another) at --imap-host\n"
           "(default the SMTP server), over --imap-security tls (default, port 993) or\n"
           "starttls (port 143), as --imap-user (default the AUTH user). Its password is the\n"
           "AUTH password for the same user, else --password-command's or the keyring's.\n"
           "A copy that cannot be kept leaves the send a success, with a warning on\n"
           "standard error. These options replace stored settings like --smtp.\n"
           "--auth-method oauth proves the AUTH user with an OAuth 2.0 access token\n"
           "(OAUTHBEARER, else XOAUTH2; never PLAIN or LOGIN): the first line that\n"
           "--oauth-token-command prints, run for each connection and once more when the\n"
           "server refuses its token; without one, a token refreshed from the refresh token\n"
           "that --oauth-sign-in kept in the desktop keyring. --oauth-sign-in prints the\n"
           "address where the user signs in, opens it in the browser (not with --no-browser)\n"
           "and waits for the browser's return on 127.0.0.1. --oauth-provider fills the\n"
           "endpoints and scope of Microsoft 365 / Outlook.com (tenant common unless named)\n"
           "or Google; --oauth-client-id is the ID of the user's own registration.\n"
           "Exit status: 0 sent; 1 the send failed (refused credentials or certificate,\n"
           "a message too large for the server included); 2 usage, an unusable setting, a\n"
           "missing server or sender, a file to attach that cannot be read, a field with a\n"
           "line break or NUL, text that cannot be converted, a --strict refusal, no\n"
           "password or access token to be had, a body that is no file or too long; 3 no\n"
           "reply came to the end of the message:\n"
           "it may have been delivered, so do not simply send it again; 4 sent, but some\n"
           "recipients were refused (they are printed).\n";
}
