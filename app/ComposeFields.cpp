#include "app/ComposeFields.h"

#include "app/SendFlowText.h"
#include "platform/CodePage.h"
#include "platform/MessageBoxes.h"

TMessageText TComposeFields::UnicodeText() const {
    TMessageText text{platform::SjisToUtf8(ToAddress()),
                      platform::SjisToUtf8(ToCarbonCopy()),
                      platform::SjisToUtf8(ToBlindCarbonCopy()),
                      platform::SjisToUtf8(Subject()),
                      {}};
    for (const std::string& line : BodyLines())
        text.Body.push_back(platform::SjisToUtf8(line));
    return text;
}

bool TComposeFields::ConfirmMachineDependent(const std::vector<std::string>& characters) {
    return platform::CurrentMessageBoxes().Show(
               platform::Sjis("確認"), MachineDependentQuestion(characters),
               platform::MsgIcon::Question,
               platform::MsgButtons::OkCancel) == platform::MsgResult::Ok;
}

void TComposeFields::OfferOptions(const std::string& missing) {
    const auto answer = platform::CurrentMessageBoxes().Show(
        platform::Sjis("確認"), MissingSettingsQuestion(missing), platform::MsgIcon::Question,
        platform::MsgButtons::OkCancel);
    if (answer == platform::MsgResult::Ok)
        OpenOptions();
}
