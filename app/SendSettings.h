#pragma once
// The settings a send goes by: read afresh from the store at every send (or from the values a
// run gives instead), checked before anything connects, and handed to the SMTP client.
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "app/ComposeFields.h"
#include "app/SendStop.h"
#include "app/SentCopy.h"

class TRegIniFile;
class TZelSMTP;

struct TSendSettings {
    std::string NameUtf8;
    std::string Name;  // Shift_JIS, for a message in ISO-2022-JP
    std::string Email;
    std::string UserID;
    std::string Smtp;
    std::string Port;
    std::string Security;
    std::string AuthUser;
    std::string CAFile;
    TSentCopySettings Copy;
};

// Where settings come from: the values given for the run first, else the store (UTF-8 both).
class TSettingSource {
  public:
    void SetOverrides(std::map<std::string, std::string> overrides) {
        overrides_ = std::move(overrides);
    }
    std::string Read(const char* ident) const;
    // The store is read afresh from the next Read on: once per send, as the user may have
    // changed the options since the last.
    void Reread() { store_.reset(); }

  private:
    std::map<std::string, std::string> overrides_;
    mutable std::shared_ptr<TRegIniFile> store_;
};

// Every setting of a send; those the message needs in Shift_JIS are converted as the store's
// own reading would, raising ECodePageError for a character code page 932 lacks.
TSendSettings ReadSendSettings(const TSettingSource& source);

// The names (Shift_JIS) of the settings a send cannot go without, empty when none is missing.
std::string MissingSettings(const TSendSettings& settings);

// Gives the client the server, port, protection, HELO name and login. A value that cannot be
// used (a port that is no number, an unknown protection, AUTH without protection, a CA file that
// cannot be read) raises Exception: the general error display tells it.
void ApplySendSettings(TZelSMTP& client, const TSendSettings& settings);

// The checks before connecting: a field that would end a command or a header line early, or an
// address that cannot go into the envelope. utf8: the message's texts are UTF-8.
TStepResult CheckBeforeConnecting(const TSendSettings& settings, const TMessageText& message,
                                  bool utf8);
