// Message assembly of TZelSMTP: the header lines in FinalHeader and the content in
// ContentStream, with one MIME part per attachment (its header from ZelAttach).
#include <algorithm>
#include <memory>
#include <random>

#include "smtp/ZelAttach.h"
#include "smtp/ZelLines.h"
#include "smtp/ZelUtf8.h"
#include "smtp/Zelsmtp.h"

namespace {

const char* const kCrLf = "\r\n";
const char* const kBase64Encoding = "Content-Transfer-Encoding: base64";

const char* TextContentType(TSubType SubType) {
    switch (SubType) {
        case mtEnriched:
            return "Content-Type: text/enriched; charset=";
        case mtSgml:
            return "Content-Type: text/sgml; charset=";
        case mtTabSeperated:
            return "Content-Type: text/tab-separated-values; charset=";
        case mtHtml:
            return "Content-Type: text/html; charset=";
        default:
            return "Content-Type: text/plain; charset=";
    }
}

void RequireSingleLines(const char* What, const TStringList& Entries) {
    for (const std::string& entry : Entries)
        RequireSingleLine(What, entry);
}

}  // namespace

void TZelSMTP::BuildMessage() {
    CheckHeaderTexts();
    ReadRecipients();
    const TPostMessage& m = PostMessage;
    const bool multipart = m.Attachments.Count() > 0;
    FinalHeader.Clear();
    FinalHeader.Add("From: " + m.FromName + "<" + m.FromAddress + ">");
    AddAddressLine("To: ", TRecipientField::To);
    AddAddressLine("CC: ", TRecipientField::CarbonCopy);
    FinalHeader.PutHeader("Subject", m.Subject);
    FinalHeader.PutHeader("X-Mailer", m.LocalProgram);
    if (!m.ReplyTo.empty())
        FinalHeader.PutHeader("Reply-To", m.ReplyTo);
    if (!m.Date.empty())
        FinalHeader.PutHeader("Date", m.Date);
    FinalHeader.Add("Mime-Version: 1.0");
    if (multipart)
        MakeBoundary();
    AddContentType(multipart);
    ContentStream.Clear();
    if (!multipart) {
        WriteBodyLines();
        return;
    }
    WriteContent("--" + Boundary + kCrLf + "Content-Type: text/plain; charset=" + Charset + kCrLf +
                 (TextIsUtf8 ? std::string(kBase64Encoding) + kCrLf : "") + kCrLf);
    WriteBodyLines();
    // By index: the attachment events may change the list.
    for (int i = 1; i <= PostMessage.Attachments.Count(); ++i)
        WriteAttachmentPart(i);
    WriteContent("--" + Boundary + "--" + kCrLf);
}

// A line break inside a header text would start a header line (or an SMTP command) of the
// caller's making; such a message is refused before anything is built.
void TZelSMTP::CheckHeaderTexts() const {
    const TPostMessage& m = PostMessage;
    RequireSingleLine("FromName", m.FromName);
    RequireSingleLine("FromAddress", m.FromAddress);
    RequireSingleLine("Subject", m.Subject);
    RequireSingleLine("LocalProgram", m.LocalProgram);
    RequireSingleLine("Date", m.Date);
    RequireSingleLine("ReplyTo", m.ReplyTo);
    RequireSingleLine("Charset", Charset);
    RequireSingleLines("To entry", m.ToAddress);
    RequireSingleLines("CC entry", m.ToCarbonCopy);
    // A NUL would open another file than the one named; the name itself is made safe.
    for (const std::string& entry : m.Attachments) {
        if (entry.find('\0') != std::string::npos)
            throw Exception("Attachment path contains a NUL character");
    }
}

std::string TZelSMTP::SentCopy() const {
    const bool blind = std::any_of(Recipients.begin(), Recipients.end(), [](const TRecipient& r) {
        return r.Field == TRecipientField::BlindCarbonCopy;
    });
    const std::string bcc = blind ? AddressLine("Bcc: ", TRecipientField::BlindCarbonCopy) : "";
    return HeaderText(bcc) + WithoutDotStuffing(ContentStream.Data());
}

void TZelSMTP::AddContentType(bool Multipart) {
    if (Multipart) {
        FinalHeader.Add("Content-Type: multipart/mixed; boundary=\"" + Boundary + "\"");
    } else {
        FinalHeader.Add(TextContentType(SubType) + Charset);
        if (TextIsUtf8)
            FinalHeader.Add(kBase64Encoding);
    }
}

// Twenty "=", "54535", six letters a to y, "====". A boundary that a body line happens to
// start a delimiter with is drawn again, so the body cannot break the part structure.
void TZelSMTP::MakeBoundary() {
    std::uniform_int_distribution<int> letter(0, 24);
    do {
        Boundary = std::string(20, '=') + "54535";
        for (int i = 0; i < 6; ++i)
            Boundary += static_cast<char>('a' + letter(BoundaryRandom));
        Boundary += "====";
    } while (BodyHasLineStarting("--" + Boundary));
}

bool TZelSMTP::BodyHasLineStarting(const std::string& Prefix) const {
    bool found = false;
    ForEachBodyLine([&](std::string_view line) {
        found = line.starts_with(Prefix);
        return !found;
    });
    return found;
}

// Every body entry becomes one or more content lines: a line break inside an entry starts a
// new line, so that no entry can carry a line of its own making (such as a lone "."). Take
// returns false to stop. The lines are handed over one by one: a body is never copied whole.
void TZelSMTP::ForEachBodyLine(const std::function<bool(std::string_view Line)>& Take) const {
    for (const std::string& entry : PostMessage.Body) {
        if (entry.find_first_of("\r\n") == std::string::npos) {
            if (!Take(entry))
                return;
            continue;
        }
        for (const std::string& line : SplitLines(entry)) {
            if (!Take(line))
                return;
        }
    }
}

// A UTF-8 text goes out as base64 of its lines, each ending in CR LF as a text must before it
// is encoded: base64 lines never begin with ".", and no server has to carry 8-bit text. The
// text is encoded a few thousand lines at a time; whole groups of 57 bytes make whole lines of
// 76, so the pieces join as the whole would.
void TZelSMTP::WriteBodyLines() {
    // The caller's copies of the text are gone by now: their pages go back before the content
    // comes on top of them.
    ReleaseFreedMemory();
    ContentStream.Reserve(static_cast<size_t>(ContentStream.Size()) + BodyContentSize());
    if (!TextIsUtf8) {
        std::string line;
        ForEachBodyLine([&](std::string_view text) {
            line.clear();
            AppendContentLine(line, text);
            WriteContent(line);
            return true;
        });
        return;
    }
    constexpr size_t kGroup = 57;
    constexpr size_t kPiece = kGroup * 1024;
    std::string plain;
    const auto encode = [&](size_t bytes) {
        std::string lines;
        for (const std::string& line : Base64Lines(std::string_view(plain).substr(0, bytes)))
            lines.append(line).append(kCrLf);
        WriteContent(lines);
        plain.erase(0, bytes);
    };
    ForEachBodyLine([&](std::string_view line) {
        plain.append(line).append(kCrLf);
        if (plain.size() >= kPiece)
            encode(plain.size() / kGroup * kGroup);
        return true;
    });
    encode(plain.size());
}

// The most the body's lines take as content, so that the stream is made once.
size_t TZelSMTP::BodyContentSize() const {
    size_t lines = 0, bytes = 0;
    ForEachBodyLine([&](std::string_view line) {
        ++lines;
        bytes += line.size() + 2;
        return true;
    });
    if (!TextIsUtf8)
        return bytes + lines;  // a dot before each line at most
    const size_t encoded = (bytes + 2) / 3 * 4;
    return encoded + (encoded / 76 + 1) * 2;
}

void TZelSMTP::WriteContent(std::string_view Text) {
    ContentStream.WriteBuffer(Text.data(), static_cast<int64_t>(Text.size()));
}

// The file goes through the encoder straight into ContentStream: one copy of it in memory, the
// encoded one. Base64 lines of 76 characters, as long as MIME allows.
void TZelSMTP::WriteAttachmentPart(int Index) {
    const std::string entry = PostMessage.Attachments[Index - 1];
    WriteContent("--" + Boundary + kCrLf +
                 AttachmentPartHeader(AttachmentType(entry), AttachmentName(entry)) + kCrLf);

    TZelUUProcessor processor(this);
    std::unique_ptr<TFileStream> file;
    // A uuCode line whose length character is "." must not end the DATA phase.
    TDotStuffedAppender content(ContentStream);
    processor.Method = EncodeType;
    processor.LineBytes = EncodeType == uuMime ? 57 : 45;
    try {
        file = std::make_unique<TFileStream>(entry, TFileStream::fmOpenRead);
    } catch (const EFOpenError&) {
        Fire(OnAttachmentNotFound, entry);
        throw;
    }
    processor.Source = file.get();
    processor.Destination = &content;
    Fire(OnEncodeStart, entry);
    processor.Encode();
    Fire(OnEncodeEnd, entry);
}
