#include "app/MessageFields.h"

#include <utility>
#include <vector>

#include "app/SendFlowText.h"
#include "jconvert/jchars.h"
#include "platform/CodePage.h"

namespace {

TSendStop Unencodable(std::string text) {
    return TSendStop{TSendOutcome::Unencodable, std::move(text), ""};
}

TSendStop RefuseUnencodable(const char* field, const ECodePageError& e) {
    TSendStop stop = Unencodable(UnencodableCharMessage(field, e.Character));
    stop.Error = e.Message();
    return stop;
}

TStepResult ReadUnicodeFields(const TComposeFields& fields, const char* field,
                              TMessageText& message, TCharsetChoice& choice) {
    try {
        message = fields.UnicodeText();
        choice.Utf8 = true;
        return std::nullopt;
    } catch (const ECodePageError& e) {
        return RefuseUnencodable(field, e);
    }
}

TStepResult ReadShiftJisFields(const TComposeFields& fields, TCharset setting,
                               TMessageText& message, TCharsetChoice& choice) {
    const char* field = "宛先";
    try {
        message.ToAddress = fields.ToAddress();
        field = "ＣＣ";
        message.ToCarbonCopy = fields.ToCarbonCopy();
        field = "ＢＣＣ";
        message.ToBlindCarbonCopy = fields.ToBlindCarbonCopy();
        field = "件名";
        message.Subject = fields.Subject();
        field = "本文";
        message.Body = fields.BodyLines();
        return std::nullopt;
    } catch (const ECodePageError& e) {
        if (setting == TCharset::Iso2022Jp)
            return RefuseUnencodable(field, e);
        choice.Because = e.Character;
        return ReadUnicodeFields(fields, field, message, choice);
    }
}

}  // namespace

TStepResult SettleName(const TComposeFields& fields, TCharset setting, TSendSettings& settings,
                       TMessageText& message, TCharsetChoice& choice) {
    if (choice.Utf8)
        return std::nullopt;
    try {
        settings.Name = platform::Utf8ToSjis(settings.NameUtf8);
        return std::nullopt;
    } catch (const ECodePageError& e) {
        if (setting == TCharset::Iso2022Jp)
            throw;
        choice.Because = e.Character;
        return ReadUnicodeFields(fields, "宛先", message, choice);
    }
}

namespace {

TStepResult SettleShiftJis(TComposeFields& fields, TSendSettings& settings, TMessageText& message) {
    std::vector<std::string> machineDependent;
    std::string userDefined;
    const char* userDefinedField = nullptr;
    // False stops at the first user-defined character. A line is replaced only when it changes:
    // a large body is not copied line by line for nothing.
    const auto settle = [&](const char* field, std::string& text) {
        if (std::string replaced = ReplaceIbmExtensions(text); replaced != text)
            text = std::move(replaced);
        userDefined = FindUserDefinedChar(text);
        if (!userDefined.empty()) {
            userDefinedField = field;
            return false;
        }
        CollectMachineDependentChars(text, machineDependent);
        return true;
    };
    bool settled = settle("宛先", message.ToAddress) && settle("ＣＣ", message.ToCarbonCopy) &&
                   settle("件名", message.Subject) && settle("オプション設定の名前", settings.Name);
    for (auto line = message.Body.begin(); settled && line != message.Body.end(); ++line)
        settled = settle("本文", *line);
    if (!settled)
        return Unencodable(UserDefinedCharMessage(userDefinedField, userDefined));
    if (machineDependent.empty() || fields.ConfirmMachineDependent(machineDependent))
        return std::nullopt;
    return TSendStop{TSendOutcome::Declined, "", ""};
}

TStepResult SettleUnicode(const TSendSettings& settings, const TMessageText& message) {
    std::vector<std::pair<const char*, const std::string*>> texts = {
        {"宛先", &message.ToAddress},
        {"ＣＣ", &message.ToCarbonCopy},
        {"ＢＣＣ", &message.ToBlindCarbonCopy},
        {"件名", &message.Subject},
        {"オプション設定の名前", &settings.NameUtf8}};
    for (const auto& line : message.Body)
        texts.emplace_back("本文", &line);
    for (const auto& [field, text] : texts) {
        if (const char32_t c = FindPrivateUseChar(*text))
            return Unencodable(UserDefinedCharMessage(field, c));
    }
    return std::nullopt;
}

}  // namespace

TStepResult ReadFields(const TComposeFields& fields, TCharset setting, TMessageText& message,
                       TCharsetChoice& choice) {
    choice = TCharsetChoice{};
    if (setting == TCharset::Utf8)
        return ReadUnicodeFields(fields, "宛先", message, choice);
    return ReadShiftJisFields(fields, setting, message, choice);
}

TStepResult SettleCharacters(TComposeFields& fields, const TCharsetChoice& choice,
                             TSendSettings& settings, TMessageText& message) {
    return choice.Utf8 ? SettleUnicode(settings, message)
                       : SettleShiftJis(fields, settings, message);
}
