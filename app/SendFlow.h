#pragma once
// What the send button does: read the settings afresh, open one SMTP connection, hand the client
// one message built from the five compose fields, close, and tell the user the outcome. Also the
// handlers of the client's events. The compose window and the command-line sender both drive it.
#include <string>
#include <vector>

class TZelSMTP;

// The compose fields and the status panel, as the send flow sees them. Texts are Shift_JIS;
// reading a field whose text code page 932 cannot hold raises ECodePageError.
class TComposeFields {
public:
    virtual ~TComposeFields() = default;
    virtual bool ToAddressEmpty() const = 0;
    virtual std::string ToAddress() const = 0;
    virtual std::string ToCarbonCopy() const = 0;
    virtual std::string ToBlindCarbonCopy() const = 0;
    virtual std::string Subject() const = 0;
    virtual std::vector<std::string> BodyLines() const = 0;
    // Empties To, CC, BCC, subject and body, in that order.
    virtual void ClearFields() = 0;
    // The status panel; does nothing once the panel is gone.
    virtual void SetStatusText(const std::string& text) = 0;
};

class TSendFlow {
public:
    // Binds the client's events to the handlers below.
    TSendFlow(TZelSMTP& ZelSMTP1, TComposeFields& Fields);
    ~TSendFlow();

    // The send button.
    void SpeedButton3Click();

    void ZelSMTP1Connect();
    void ZelSMTP1Disconnect();
    void ZelSMTP1Status(const std::string& Status);
    void ZelSMTP1ConnectionFailed();
    void ZelSMTP1PacketSent();
    void ZelSMTP1ConnectionRequired(bool& Handled);
    void ZelSMTP1Success();
    void ZelSMTP1SendStart();

    // How the last send ended, for callers that report it (the command-line sender).
    enum class Outcome { None, EmptyTo, Sent, SentQuitRefused, Failed };
    Outcome LastOutcome() const { return lastOutcome_; }

private:
    TZelSMTP& ZelSMTP1;
    TComposeFields& Fields;
    Outcome lastOutcome_ = Outcome::None;
    bool sending_ = false;
};
