#pragma once
// The message's texts as a send takes them from the compose fields: read in the charset the
// message goes out in, chosen once, and settled so that no character reaches the server other
// than as typed.
#include "app/ComposeFields.h"
#include "app/MessageCharset.h"
#include "app/SendSettings.h"
#include "app/SendStop.h"

// The charset of one message: UTF-8 or ISO-2022-JP, and why UTF-8 when the automatic setting
// chose it (the first character ISO-2022-JP cannot carry; 0 when the setting asked for UTF-8).
struct TCharsetChoice {
    bool Utf8 = false;
    char32_t Because = 0;
};

// Reads every field before anything is sent, choosing the charset: a character that code page
// 932 cannot hold sends the message in UTF-8, or, when the setting asks for ISO-2022-JP, stops
// the send with the fields untouched.
TStepResult ReadFields(const TComposeFields& fields, TCharset setting, TMessageText& message,
                       TCharsetChoice& choice);

// The sender's name belongs to the message: one that ISO-2022-JP cannot carry sends the whole
// message in UTF-8 as well (reading the fields again as typed), unless the setting asks for
// ISO-2022-JP, where it raises ECodePageError as an unreadable setting.
TStepResult SettleName(const TComposeFields& fields, TCharset setting, TSendSettings& settings,
                       TMessageText& message, TCharsetChoice& choice);

// ISO-2022-JP has no room for code page 932's own extensions, so before connecting: IBM codes
// become their twins, a user-defined character stops the send, and machine-dependent
// characters go only when the user agrees. UTF-8 carries every other character as typed; a
// private-use character still reaches no reader. The fields themselves stay as typed.
TStepResult SettleCharacters(TComposeFields& fields, const TCharsetChoice& choice,
                             TSendSettings& settings, TMessageText& message);
