// TPostMessage's access by property name.
#include <array>

#include "platform/Exception.h"
#include "smtp/Zelsmtp.h"

namespace {

using TextMember = std::string TPostMessage::*;
using ListMember = TStringList TPostMessage::*;

struct PropertySlot {
    const char* Name;
    TextMember Text;
    ListMember List;
};

// In published order.
const std::array<PropertySlot, 11> kProperties{{
    {"FromAddress", &TPostMessage::FromAddress, nullptr},
    {"FromName", &TPostMessage::FromName, nullptr},
    {"ToAddress", nullptr, &TPostMessage::ToAddress},
    {"ToCarbonCopy", nullptr, &TPostMessage::ToCarbonCopy},
    {"ToBlindCarbonCopy", nullptr, &TPostMessage::ToBlindCarbonCopy},
    {"Body", nullptr, &TPostMessage::Body},
    {"Attachments", nullptr, &TPostMessage::Attachments},
    {"Subject", &TPostMessage::Subject, nullptr},
    {"LocalProgram", &TPostMessage::LocalProgram, nullptr},
    {"Date", &TPostMessage::Date, nullptr},
    {"ReplyTo", &TPostMessage::ReplyTo, nullptr},
}};

const PropertySlot& Slot(const std::string& Name) {
    for (const PropertySlot& slot : kProperties) {
        if (Name == slot.Name)
            return slot;
    }
    throw Exception("TPostMessage has no property " + Name);
}

}  // namespace

const std::vector<std::string>& TPostMessage::PropertyNames() {
    static const std::vector<std::string> names = [] {
        std::vector<std::string> list;
        for (const PropertySlot& slot : kProperties)
            list.emplace_back(slot.Name);
        return list;
    }();
    return names;
}

void TPostMessage::SetProperty(const std::string& Name, const std::string& Value) {
    const PropertySlot& slot = Slot(Name);
    if (!slot.Text)
        throw Exception("TPostMessage property " + Name + " is a list");
    this->*slot.Text = Value;
}

void TPostMessage::SetProperty(const std::string& Name, const TStringList& Value) {
    const PropertySlot& slot = Slot(Name);
    if (!slot.List)
        throw Exception("TPostMessage property " + Name + " is not a list");
    (this->*slot.List).Assign(Value);
}
