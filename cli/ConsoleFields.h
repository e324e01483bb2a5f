#pragma once
// The compose fields of a command-line send: texts given up front, the status panel on standard
// error.
#include <ostream>
#include <string>
#include <vector>

#include "app/SendFlow.h"

class TConsoleFields : public TComposeFields {
  public:
    // Texts are Shift_JIS. Progress texts reach status only when showProgress is set.
    TConsoleFields(std::ostream& status, bool showProgress)
        : status_(status), showProgress_(showProgress) {}

    std::string To, Cc, Bcc, SubjectText;
    std::vector<std::string> Body;
    // Refuse to send machine-dependent characters instead of warning about them.
    bool Strict = false;

    bool ToAddressEmpty() const override { return To.empty(); }
    std::string ToAddress() const override { return To; }
    std::string ToCarbonCopy() const override { return Cc; }
    std::string ToBlindCarbonCopy() const override { return Bcc; }
    std::string Subject() const override { return SubjectText; }
    std::vector<std::string> BodyLines() const override { return Body; }
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
    std::ostream& status_;
    bool showProgress_;
};
