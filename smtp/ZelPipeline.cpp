// TZelSMTP: the mail transaction for a server that offers PIPELINING. RSET, MAIL, the RCPTs and
// DATA go out as one group and their replies are read in order, each judged as the dialogue
// command by command judges it; then the content, its "." and QUIT go out together.
#include <algorithm>

#include "platform/Exception.h"
#include "smtp/Zelsmtp.h"

namespace {

// Commands written before their replies are read. A server answers while the client still
// writes: with no cap, thousands of RCPTs could fill both directions' buffers and leave each
// side waiting for the other to read. A hundred commands fit either buffer many times over.
constexpr size_t kMaxInFlight = 100;

}  // namespace

void TZelSMTP::SendPipelined() {
    // Checked before DATA goes out, as in the dialogue command by command.
    CheckHeaderLines();
    const std::vector<TGroupCommand> commands = GroupCommands();
    TGroupOutcome outcome;
    size_t written = 0;
    // Refills the window once half of it is answered; after a refusal nothing more goes out,
    // but every reply to what did is read, so the session stays in step.
    for (size_t read = 0; read < written || (written < commands.size() && !outcome.Failed());
         ++read) {
        const bool room = written - read <= kMaxInFlight / 2;
        if (!outcome.Failed() && written < commands.size() && room)
            written = WriteGroup(commands, written, std::min(commands.size(), read + kMaxInFlight));
        JudgeReply(commands[read], TakeReply(), outcome);
    }
    SettleGroup(outcome);
    // An event handler may have added header lines while the replies were read. Such a message
    // must not go, and the server already waits for content: only a close ends that safely.
    try {
        CheckHeaderLines();
    } catch (const Exception&) {
        TPowersock::Disconnect();
        throw;
    }
    SendContent(true);
}

// RSET, MAIL, one RCPT per address, DATA.
std::vector<TZelSMTP::TGroupCommand> TZelSMTP::GroupCommands() const {
    std::vector<TGroupCommand> commands{
        {TGroupCommand::Reset, "RSET"},
        {TGroupCommand::Mail, MailFromCommand()}};
    for (const TRecipient& recipient : Recipients) {
        if (std::string command = RecipientCommand(recipient); !command.empty())
            commands.push_back({TGroupCommand::Recipient, std::move(command), &recipient});
    }
    commands.push_back({TGroupCommand::Data, "DATA"});
    return commands;
}

// Commands From up to To in one write; returns To.
size_t TZelSMTP::WriteGroup(const std::vector<TGroupCommand>& Commands, size_t From, size_t To) {
    ReportStatus(8, "Pipelining");
    std::string group;
    for (size_t i = From; i < To; ++i)
        group.append(Commands[i].Text).append("\r\n");
    WriteInPieces(group);
    return To;
}

void TZelSMTP::JudgeReply(const TGroupCommand& Command, const std::string& Reply,
                          TGroupOutcome& Outcome) {
    if (Reply.empty()) {
        if (!Outcome.Failed())
            Outcome.Closed = true;
        return;
    }
    if (Command.Kind == TGroupCommand::Data) {
        Outcome.DataAccepted = ReplyCode < 400;
        if (!Outcome.DataAccepted)
            Outcome.DataRefusal.emplace(Refusal(Command.Text, Reply));
        return;
    }
    // After a refused RSET or MAIL the rest of the group fails with it: its recipients were
    // never judged.
    if (Outcome.Failed())
        return;
    if (Command.Kind != TGroupCommand::Recipient) {
        if (ReplyCode >= 400)
            Outcome.Refused.emplace(Refusal(Command.Text, Reply));
    } else if (ReplyCode > 300) {
        RefuseRecipient(*Command.To, Reply);
    } else {
        ++Outcome.Accepted;
    }
}

// The rules of the dialogue command by command, applied once every reply is in: a refused RSET
// or MAIL fails the send, no accepted recipient ends it with RSET, a refused DATA fails it.
// When the server accepted DATA all the same, it waits for content, and a "." alone could
// deliver an empty message: a connection closed inside the content ends the transaction
// without delivery.
void TZelSMTP::SettleGroup(const TGroupOutcome& Outcome) {
    const bool abandon = Outcome.Failed() || Outcome.Accepted == 0;
    if (abandon && Outcome.DataAccepted)
        TPowersock::Disconnect();
    if (Outcome.Refused)
        throw *Outcome.Refused;
    if (Outcome.Closed)
        throw Exception("The server closed the connection");
    if (Outcome.Accepted == 0)
        RefuseMessage();
    if (Outcome.DataRefusal)
        throw *Outcome.DataRefusal;
}
