#pragma once
// The SMTP client's message from the settings and texts of one send: the sender, the date, the
// three recipient fields as typed (the client reads their addresses once for the envelope and
// the header alike), the subject and the body, in the message's charset.
#include "app/ComposeFields.h"
#include "app/SendSettings.h"

class TZelSMTP;

// The mailer name of the X-Mailer line (UTF-8).
extern const char* const kLocalProgram;

// utf8: the texts are UTF-8 and go out so; else Shift_JIS, going out in ISO-2022-JP. The body's
// lines move into the client's record, leaving message.Body empty.
void FillPostMessage(TZelSMTP& client, const TSendSettings& settings, TMessageText& message,
                     bool utf8);
