#pragma once
// Checks made before a send connects: a text that would end a command line or a header line
// early, or an address that would carry more than an address into MAIL or RCPT, never reaches
// the server; the user is told which field to mend.
#include <string>
#include <vector>

// A field as the checks see it. Texts are Shift_JIS; NameUtf8 names the field to the user.
struct TCheckedField {
    enum TKind { Text, Recipients, Sender };
    const char* NameUtf8;
    const std::string& Value;
    TKind Kind;
};

// The message (Shift_JIS) that stops the send, empty when nothing is wrong: CR, LF or NUL in a
// field, NUL in a body line, an envelope address holding a blank, "<", ">" or a control
// character outside a quoted local part.
std::string RefusalBeforeConnecting(const std::vector<TCheckedField>& fields,
                                    const std::vector<std::string>& body);

// An address that can stand between "<" and ">" of MAIL FROM or RCPT TO as it is.
bool IsEnvelopeAddress(const std::string& address);
