#include "cli/SendCommand.h"

#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>

#include "app/SendFlow.h"
#include "cli/ConsoleFields.h"
#include "cli/ConsoleMessageBoxes.h"
#include "cli/MessageText.h"
#include "cli/PasswordCommand.h"
#include "cli/SendOptions.h"
#include "cli/TerminalText.h"
#include "platform/CodePage.h"
#include "platform/Secret.h"
#include "platform/Version.h"
#include "smtp/ZelLines.h"
#include "smtp/Zelsmtp.h"

namespace {

std::string ReadAll(std::istream& in) {
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string ReadBody(const TSendOptions& options, std::istream& input) {
    if (!options.BodyFile)
        return ReadAll(input);
    std::ifstream file(*options.BodyFile, std::ios::binary);
    std::string body = ReadAll(file);
    if (!file.is_open() || file.bad()) {
        throw EUsageError("cannot read the body file '" + *options.BodyFile + "'");
    }
    return body;
}

// Every text of the run in Shift_JIS; raises EEncodingError before anything is sent.
void FillFields(const TSendOptions& options, const std::string& body, TConsoleFields& fields) {
    const auto convert = [&options](const std::string& text, const char* what) {
        return ToShiftJis(text, options.Encoding, what);
    };
    fields.To = convert(*options.To, "--to");
    fields.Cc = convert(options.Cc, "--cc");
    fields.Bcc = convert(options.Bcc, "--bcc");
    fields.SubjectText = convert(options.Subject, "--subject");
    fields.Body = SplitBodyLines(convert(body, "本文"));
}

std::map<std::string, std::string> SjisOverrides(const TSendOptions& options) {
    std::map<std::string, std::string> overrides;
    for (const auto& [setting, value] : options.Overrides) {
        overrides[setting] = ToShiftJis(value, options.Encoding, OptionForSetting(setting));
    }
    return overrides;
}

std::string MessageOf(const std::exception& e) {
    const auto* own = dynamic_cast<const Exception*>(&e);
    return own ? own->Message() : std::string(e.what());
}

// A server's reply line comes with its line end.
std::string Line(const std::string& text) {
    return TerminalText(WithoutLineEnd(text));
}

int StatusOf(const TSendFlow& flow, std::ostream& err) {
    if (!flow.SentCopyWarning().empty()) {
        err << "tidemark-send: warning: the message was sent, but its copy was not kept in the "
               "Sent mailbox: "
            << platform::SjisToUtf8(flow.SentCopyWarning()) << std::endl;
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
        default:
            return ssUsage;
    }
}

int Send(const TSendOptions& options, std::istream& input, std::ostream& out, std::ostream& err) {
    TConsoleFields fields(err, options.Verbose);
    fields.Strict = options.Strict;
    FillFields(options, ReadBody(options, input), fields);
    TZelSMTP ZelSMTP1(nullptr);
    TSendFlow flow(ZelSMTP1, fields);
    flow.SetSettingOverrides(SjisOverrides(options));
    // Out of reach of a core dump from the moment the password is read.
    std::optional<platform::NonDumpableScope> noDump;
    if (options.PasswordCommand) {
        noDump.emplace();
        try {
            std::string password = RunPasswordCommand(*options.PasswordCommand);
            platform::SecretScope wipe(password);
            flow.SetPasswordOverride(std::move(password));
        } catch (const EPasswordCommandError& e) {
            err << "tidemark-send: --password-command failed: " << e.Message() << std::endl;
            return ssUsage;
        }
    }
    if (options.Verbose)
        ZelSMTP1.ReportLevel = 8;
    ZelSMTP1.TimeOut = options.TimeOutSeconds * 1000;
    ZelSMTP1.DataTimeOut = options.DataTimeOutSeconds * 1000;
    TConsoleMessageBoxes boxes(out);
    try {
        flow.SpeedButton3Click();
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
        return Send(options, input, out, err);
    } catch (const EUsageError& e) {
        err << "tidemark-send: " << e.Message() << "\n" << SendUsage();
        return ssUsage;
    } catch (const EEncodingError& e) {
        err << "tidemark-send: " << e.Message() << std::endl;
        return ssUsage;
    }
}
