#include "cli/SendCommand.h"

#include <optional>
#include <sstream>

#include "app/SendAuth.h"
#include "app/SendFlow.h"
#include "app/SendSettings.h"
#include "cli/BodyInput.h"
#include "cli/ConsoleFields.h"
#include "cli/ConsoleMessageBoxes.h"
#include "cli/MessageText.h"
#include "cli/PasswordCommand.h"
#include "cli/SendOptions.h"
#include "cli/SignInCommand.h"
#include "cli/TerminalText.h"
#include "platform/CodePage.h"
#include "platform/Secret.h"
#include "platform/Version.h"
#include "smtp/ZelAttach.h"
#include "smtp/ZelLines.h"
#include "smtp/Zelsmtp.h"

namespace {

// Access tokens run to kilobytes; more than this is no token.
constexpr size_t kTokenCommandMaxBytes = 32768;

// The "Charset" of this run asks for ISO-2022-JP: text that it cannot carry is refused here,
// before anything is sent, as it always was.
bool OnlyIso2022Jp(const TSendOptions& options) {
    TSettingSource settings;
    settings.SetOverrides(options.Overrides);
    return settings.Read("Charset") == "iso-2022-jp";
}

// Every text of the run; raises EEncodingError before anything is sent. What the message's
// charset cannot carry is the send flow's to refuse, as in the window.
void FillFields(const TSendOptions& options, std::string body, TConsoleFields& fields) {
    const auto read = [&options](std::string text, const char* what) {
        return ReadConsoleText(std::move(text), options.Encoding, what);
    };
    fields.To = read(*options.To, "--to");
    fields.Cc = read(options.Cc, "--cc");
    fields.Bcc = read(options.Bcc, "--bcc");
    fields.SubjectText = read(options.Subject, "--subject");
    fields.SetBody(read(std::move(body), "本文"), options.Encoding == "utf-8");
}

// The settings of the run in UTF-8, as the store holds them. The sender's name may hold what
// Shift_JIS cannot, unless ISO-2022-JP is asked for; no other setting may.
std::map<std::string, std::string> Utf8Overrides(const TSendOptions& options) {
    const bool onlyIso = OnlyIso2022Jp(options);
    std::map<std::string, std::string> overrides;
    for (const auto& [setting, value] : options.Overrides) {
        const std::string option = OptionForSetting(setting);
        const TConsoleText read = ReadConsoleText(value, options.Encoding, option);
        if (read.Unencodable != 0 && (onlyIso || setting != "Name"))
            throw UnencodableError(option, read.Unencodable);
        overrides[setting] = read.Utf8;
    }
    return overrides;
}

// A server's reply line comes with its line end.
std::string Line(const std::string& text) {
    return TerminalText(WithoutLineEnd(text));
}

int StatusOf(const TSendFlow& flow, std::ostream& err) {
    if (!flow.SentCopyWarning().empty()) {
        err << "tidemark-send: warning: the message was sent, but its copy was not kept in the "
               "Sent mailbox: "
            << TerminalText(flow.SentCopyWarning()) << std::endl;
    }
    switch (flow.LastOutcome()) {
        case TSendFlow::Outcome::Sent:
            return ssSent;
        case TSendFlow::Outcome::SentToSome:
            return ssSentToSome;
        case TSendFlow::Outcome::Failed:
            err << Line(flow.LastError()) << std::endl;
            return ssFailed;
        case TSendFlow::Outcome::NoReply:
            err << Line(flow.LastError()) << std::endl;
            return ssNoReply;
        case TSendFlow::Outcome::NoPassword:
            err << "tidemark-send: no password for the AUTH user: give --password-command or "
                   "keep the password in the desktop keyring"
                << std::endl;
            return ssUsage;
        case TSendFlow::Outcome::NoToken:
            err << "tidemark-send: no OAuth access token: " << Line(flow.LastError()) << std::endl;
            return ssUsage;
        default:
            return ssUsage;
    }
}

// Every file is checked before anything is sent; each path is named as it was given.
void RequireAttachableFiles(const std::vector<std::string>& paths) {
    for (const std::string& path : paths) {
        if (!AttachableFile(path))
            throw EUsageError("cannot read the file to attach '" + path + "'");
    }
}

int PasswordCommandFailed(const EPasswordCommandError& e, std::ostream& err) {
    err << "tidemark-send: --password-command failed: " << e.Message() << std::endl;
    return ssUsage;
}

int Send(const TSendOptions& options, std::istream& input, std::ostream& out, std::ostream& err) {
    // Out of reach of a core dump from the moment the password is read.
    std::optional<platform::NonDumpableScope> noDump;
    // Started early, to run while the send gets ready; read when the send needs the password,
    // still before anything connects. A body on standard input is read whole first, so that
    // the command never takes a part of it.
    std::optional<TPasswordCommand> passwordCommand;
    const auto startPasswordCommand = [&] {
        if (options.PasswordCommand && !passwordCommand) {
            noDump.emplace();
            passwordCommand.emplace(*options.PasswordCommand);
        }
    };
    if (options.BodyFile)
        startPasswordCommand();
    RequireAttachableFiles(options.Attachments);
    TConsoleFields fields(err, options.Verbose);
    fields.Strict = options.Strict;
    fields.Attachments = options.Attachments;
    FillFields(options, ReadBodyInput(options.BodyFile, input), fields);
    startPasswordCommand();
    // Run once per connection, and once more when the server refuses its token.
    SetTokenCommandRunner([](const std::string& command) {
        return RunPasswordCommand(command, kPasswordCommandTimeOut, kTokenCommandMaxBytes, "token");
    });
    TZelSMTP ZelSMTP1(nullptr);
    TSendFlow flow(ZelSMTP1, fields);
    flow.SetSettingOverrides(Utf8Overrides(options));
    if (passwordCommand)
        flow.SetPasswordSource([&passwordCommand] { return passwordCommand->Finish(); });
    if (options.Verbose)
        ZelSMTP1.ReportLevel = 8;
    ZelSMTP1.TimeOut = options.TimeOutSeconds * 1000;
    ZelSMTP1.DataTimeOut = options.DataTimeOutSeconds * 1000;
    TConsoleMessageBoxes boxes(out);
    try {
        flow.Send();
    } catch (const EPasswordCommandError& e) {
        return PasswordCommandFailed(e, err);
    } catch (const std::exception& e) {
        // What the window's general error display would show: an unusable setting.
        err << TerminalText(MessageOf(e)) << std::endl;
        return ssUsage;
    }
    return StatusOf(flow, err);
}

}  // namespace

int RunSendCommand(const std::vector<std::string>& args, std::istream& input, std::ostream& out,
                   std::ostream& err) {
    try {
        const TSendOptions options = ParseSendOptions(args);
        if (options.Help) {
            out << SendUsage();
            return ssSent;
        }
        if (options.Version) {
            out << "tidemark-send " << platform::kVersion << "\n";
            return ssSent;
        }
        if (options.SignIn)
            return RunSignIn(Utf8Overrides(options), !options.NoBrowser, out, err);
        return Send(options, input, out, err);
    } catch (const EUsageError& e) {
        err << "tidemark-send: " << e.Message() << "\n" << SendUsage();
        return ssUsage;
    } catch (const EEncodingError& e) {
        err << "tidemark-send: " << e.Message() << std::endl;
        return ssUsage;
    } catch (const EBodyInputError& e) {
        err << "tidemark-send: " << TerminalText(platform::Utf8ToSjisLossy(e.Message()))
            << std::endl;
        return ssUsage;
    }
}
