#pragma once
// The compose fields of a command-line send: texts given up front, the status panel on standard
// error.
#include <ostream>
#include <string>
#include <vector>

#include "app/SendFlow.h"
#include "cli/MessageText.h"

class TConsoleFields : public TComposeFields {
  public:
    // Progress texts reach status only when showProgress is set.
    TConsoleFields(std::ostream& status, bool showProgress)
        : status_(status), showProgress_(showProgress) {}

    TConsoleText To, Cc, Bcc, SubjectText, Body;
    // Paths of the files to attach, as given.
    std::vector<std::string> Attachments;
    std::vector<std::string> AttachmentPaths() const override { return Attachments; }
    // The body, the largest text by far, is kept only in the form it was given in (the other
    // left empty): a message is not held three times over.
    void SetBody(TConsoleText body, bool givenInUtf8);
    // Refuse to send machine-dependent characters instead of warning about them.
    bool Strict = false;

    bool ToAddressEmpty() const override { return To.Utf8.empty(); }
    // Shift_JIS; a text that code page 932 cannot hold raises ECodePageError, as in the window.
    std::string ToAddress() const override { return Sjis(To); }
    std::string ToCarbonCopy() const override { return Sjis(Cc); }
    std::string ToBlindCarbonCopy() const override { return Sjis(Bcc); }
    std::string Subject() const override { return Sjis(SubjectText); }
    std::vector<std::string> BodyLines() const override;
    TMessageText UnicodeText() const override;
    void ReleaseBody() override { Body = TConsoleText(); }
    void ClearFields() override;
    void SetAddressFields(const std::string& to, const std::string& cc,
                          const std::string& bcc) override;
    void SetStatusText(const std::string& text) override;
    void SetProgressText(const std::string& text) override;
    // A warning goes to status; the answer is "send" unless Strict.
    bool ConfirmMachineDependent(const std::vector<std::string>& characters) override;
    // Says what is missing on status; there is no dialog to offer.
    void OfferOptions(const std::string& missing) override;

  private:
    static std::string Sjis(const TConsoleText& text);

    std::ostream& status_;
    bool showProgress_;
};
