#pragma once
// The five compose fields and the status panel as a send sees them. The compose window and the
// command-line sender each give their own; the send flow reads them and nothing else.
#include <optional>
#include <string>
#include <vector>

// The texts of one message: Shift_JIS, or UTF-8 for a message that goes out in UTF-8.
struct TMessageText {
    std::string ToAddress;
    std::string ToCarbonCopy;
    std::string ToBlindCarbonCopy;
    std::string Subject;
    std::vector<std::string> Body;
};

// Texts are Shift_JIS; reading a field whose text code page 932 cannot hold raises
// ECodePageError.
class TComposeFields {
  public:
    virtual ~TComposeFields() = default;
    virtual bool ToAddressEmpty() const = 0;
    virtual std::string ToAddress() const = 0;
    virtual std::string ToCarbonCopy() const = 0;
    virtual std::string ToBlindCarbonCopy() const = 0;
    virtual std::string Subject() const = 0;
    virtual std::vector<std::string> BodyLines() const = 0;
    // The five fields as typed, in UTF-8, for a message that goes out in UTF-8. By default the
    // Shift_JIS texts above, converted; fields that hold more than Shift_JIS give it directly.
    virtual TMessageText UnicodeText() const;
    // The message's body now lives in the client's record: fields that are never shown again
    // may let their copy go. The window keeps its text.
    virtual void ReleaseBody() {}
    // The files to attach, in order: paths as the file system holds them.
    virtual std::vector<std::string> AttachmentPaths() const { return {}; }
    // Empties To, CC, BCC, subject and body, in that order.
    virtual void ClearFields() = 0;
    // Puts these texts (UTF-8, whatever the message's set) into To, CC and BCC; subject and body
    // stay.
    virtual void SetAddressFields(const std::string& to, const std::string& cc,
                                  const std::string& bcc) = 0;
    // The status panel; does nothing once the panel is gone.
    virtual void SetStatusText(const std::string& text) = 0;
    // The byte counts while the content goes out; a console may want to leave them out.
    virtual void SetProgressText(const std::string& text) { SetStatusText(text); }
    // The SMTP AUTH password of authUser (Shift_JIS), asked of the user in a masked box when no
    // keyring holds it; never stored. nullopt when the user cancels or nobody can be asked.
    // The password is UTF-8, as AUTH sends it.
    virtual std::optional<std::string> AskPassword(const std::string& authUser) {
        (void)authUser;
        return std::nullopt;
    }
    // Machine-dependent characters (each Shift_JIS) are about to go out; true goes on with the
    // send. The window asks in a confirmation box.
    virtual bool ConfirmMachineDependent(const std::vector<std::string>& characters);
    // Settings the send cannot go without are missing (missing: their names, Shift_JIS). The
    // window says so in a box that offers the options dialog, and opens it on OK.
    virtual void OfferOptions(const std::string& missing);
    // Opens the options dialog.
    virtual void OpenOptions() {}
};
