// TZelSMTP: the recipients of a message, read once from the three lists. The checks, the RCPT
// commands of both dialogues, the To and CC lines and the Sent copy's Bcc line all take this one
// reading, so the envelope and the header always name the same addresses.
#include "platform/Exception.h"
#include "smtp/ZelLines.h"
#include "smtp/ZelUtf8.h"
#include "smtp/Zelsmtp.h"

namespace {

constexpr int FieldIndex(TRecipientField Field) {
    return static_cast<int>(Field);
}

}  // namespace

const TWordCharset& TZelSMTP::WordCharset() const {
    return TextIsUtf8 ? Utf8Words : Iso2022JpWords;
}

// An entry that cannot be read as addresses raises EAddressSyntaxError naming the piece, before
// anything about the message reaches the server.
void TZelSMTP::ReadRecipients() {
    const std::pair<TRecipientField, const TStringList*> lists[] = {
        {TRecipientField::To, &PostMessage.ToAddress},
        {TRecipientField::CarbonCopy, &PostMessage.ToCarbonCopy},
        {TRecipientField::BlindCarbonCopy, &PostMessage.ToBlindCarbonCopy}};
    Recipients.clear();
    for (const auto& [field, list] : lists) {
        std::string& header = FieldHeaders[FieldIndex(field)];
        header.clear();
        for (int i = 0; i < list->Count(); ++i) {
            const std::string& entry = (*list)[i];
            std::vector<TMailbox> mailboxes = ParseAddressList(entry, WordCharset());
            header += (i > 0 ? "," : "") + AddressListHeader(entry, mailboxes, WordCharset());
            for (TMailbox& mailbox : mailboxes)
                Recipients.push_back({field, std::move(mailbox)});
        }
    }
}

std::string TZelSMTP::AddressLine(const char* Name, TRecipientField Field) const {
    return Name + FieldHeaders[FieldIndex(Field)];
}

void TZelSMTP::AddAddressLine(const char* Name, TRecipientField Field) {
    const TStringList& entries = Field == TRecipientField::To ? PostMessage.ToAddress
                                                              : PostMessage.ToCarbonCopy;
    if (!entries.Empty())
        FinalHeader.Add(AddressLine(Name, Field));
}

// The envelope addresses, checked before the first command so that a refused address never
// leaves a half-done transaction behind.
void TZelSMTP::CheckEnvelope() {
    RequireSingleLine("FromAddress", PostMessage.FromAddress);
    for (const TRecipient& recipient : Recipients)
        RequireSingleLine("Recipient address", recipient.Mailbox.Address);
}

// An empty address ("<>") names nobody and gets no command.
std::string TZelSMTP::RecipientCommand(const TRecipient& Recipient) {
    const std::string& address = Recipient.Mailbox.Address;
    return address.empty() ? std::string() : "RCPT TO:<" + address + ">";
}

// Returns how many recipients the server accepted.
int TZelSMTP::SendRecipients() {
    int accepted = 0;
    for (const TRecipient& recipient : Recipients) {
        const std::string command = RecipientCommand(recipient);
        if (command.empty())
            continue;
        const std::string reply = Transaction(command);
        if (ReplyCode <= 300)
            ++accepted;
        else
            RefuseRecipient(recipient, reply);
    }
    return accepted;
}

void TZelSMTP::RefuseRecipient(const TRecipient& Recipient, const std::string& Reply) {
    RefusedRecipients.push_back({Recipient.Mailbox.Piece, WithoutLineEnd(Reply), Recipient.Field});
    Fire(OnRecipientNotFound, Recipient.Mailbox.Piece);
}
