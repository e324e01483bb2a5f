#include "app/StartOptions.h"

#include <cstring>
#include <map>
#include <set>
#include <string_view>

#include "app/MailtoLink.h"
#include "platform/BoundedRead.h"
#include "platform/CodePage.h"

namespace {

constexpr size_t kMaxBodyFile = 1024 * 1024;

using TField = std::string platform::TDraft::*;
const std::map<std::string_view, TField> kFieldOptions = {
    {"--to", &platform::TDraft::To},
    {"--cc", &platform::TDraft::Cc},
    {"--bcc", &platform::TDraft::Bcc},
    {"--subject", &platform::TDraft::Subject},
};

const std::map<std::string_view, bool TStartOptions::*> kFlagOptions = {
    {"--help", &TStartOptions::Help},
    {"--version", &TStartOptions::Version},
};

bool TakesValue(const std::string& name) {
    return kFieldOptions.contains(name) || name == "--body-file" || name == "--screenshot";
}

void Store(TStartOptions& options, const std::string& name, std::string value) {
    if (name == "--screenshot") {
        options.Screenshot = std::move(value);
        return;
    }
    if (!options.Fill)
        options.Fill.emplace();
    if (name == "--body-file") {
        options.BodyFile = std::move(value);
        return;
    }
    if (!platform::IsUtf8(value))
        throw EFillError(name + " が UTF-8 ではありません");
    CheckHeaderField(name, value);
    options.Fill.value().*kFieldOptions.at(name) = std::move(value);
}

std::string BodyFileProblem(const platform::TReadResult& read) {
    using platform::TReadProblem;
    switch (read.Problem) {
        case TReadProblem::CannotOpen:
            return " を開けません (" + std::string(std::strerror(read.Error)) + ")";
        case TReadProblem::CannotRead:
            return " を読めません (" + std::string(std::strerror(read.Error)) + ")";
        case TReadProblem::Directory:
            return " はディレクトリです";
        case TReadProblem::TooLarge:
            return " が大きすぎます (1 MiB まで)";
        default:
            return " はファイルではありません";
    }
}

// A link comes alone: a desktop that opens one passes nothing else.
void TakeLink(TStartOptions& options, const std::vector<std::string>& args) {
    if (args.size() != 1)
        throw EStartUsageError("a mailto: link comes alone, without options");
    options.Fill = ParseMailto(args.front());
}

}  // namespace

TStartOptions ParseStartOptions(const std::vector<std::string>& args) {
    TStartOptions options;
    std::set<std::string> seen;
    for (size_t i = 0; i < args.size(); ++i) {
        std::string name = args[i];
        if (IsMailtoLink(name)) {
            TakeLink(options, args);
            continue;
        }
        std::optional<std::string> value;
        if (const size_t eq = name.find('='); name.starts_with("--") && eq != std::string::npos) {
            value = name.substr(eq + 1);
            name.resize(eq);
        }
        if (!seen.insert(name).second)
            throw EStartUsageError(name + " given more than once");
        if (const auto flag = kFlagOptions.find(name); flag != kFlagOptions.end() && !value) {
            options.*(flag->second) = true;
            continue;
        }
        if (!TakesValue(name))
            throw EStartUsageError("unknown argument '" + args[i] + "'");
        if (!value && i + 1 == args.size())
            throw EStartUsageError(name + " needs a value");
        Store(options, name, value ? std::move(*value) : args[++i]);
    }
    if (options.Fill) {
        CollapseBlanks(*options.Fill);
        CheckFieldLengths(*options.Fill);
    }
    return options;
}

void ReadBodyFile(TStartOptions& options) {
    if (!options.BodyFile)
        return;
    const std::string& path = *options.BodyFile;
    const platform::TReadResult read = platform::ReadBounded(path, {kMaxBodyFile, true, true});
    if (read.Problem != platform::TReadProblem::None)
        throw EFillError("本文のファイル " + path + BodyFileProblem(read));
    if (!platform::IsUtf8(read.Bytes))
        throw EFillError("本文のファイル " + path + " が UTF-8 ではありません");
    options.Fill.value().Body = TakeBody(read.Bytes);
}

std::string StartUsage() {
    return "usage: tidemark [mailto:LINK | --to TEXT --cc TEXT --bcc TEXT --subject TEXT "
           "--body-file PATH]\n"
           "                [--screenshot PATH] [--help] [--version]\n";
}
