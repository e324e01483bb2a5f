#pragma once
// The AUTH password of a send: the one given for the run, else the keyring's for the user and
// server, else the user's answer. It lives in wiping secrets only as long as the send needs it.
#include <functional>
#include <optional>
#include <string>

#include "app/ComposeFields.h"
#include "platform/Secret.h"

class TSendPassword {
  public:
    // The password (UTF-8) to use instead of the keyring's or the user's answer; it serves the
    // IMAP user of the Sent copy too.
    void Give(std::optional<std::string> password);
    // The same, fetched when first taken (a command already running, say); what fetch raises
    // reaches the caller of Take.
    void GiveLater(std::function<std::string()> fetch);
    bool Given() const { return given_; }

    // The password of user (Shift_JIS) at host; nullopt when there is none to be had. A password
    // given for the run is handed over once.
    std::optional<platform::TSecret> Take(const std::string& user, const std::string& host,
                                          TComposeFields& fields);

  private:
    std::optional<platform::TSecret> override_;
    std::function<std::string()> fetch_;
    bool given_ = false;
};
