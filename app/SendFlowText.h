#pragma once
// Texts the send flow makes on its own: the port number from its setting, the Date and the
// Message-ID header values, the messages about characters ISO-2022-JP carries badly or no mail
// may carry. Messages are Shift_JIS.
#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

// The text-to-integer conversion of the "Port" setting: leading blanks, an optional sign, then
// decimal digits or hexadecimal ones after "$", "x", "X", "0x" or "0X"; nothing after the digits;
// the value must fit 32 signed bits. Anything else raises EConvertError.
int32_t StrToInt(const std::string& S);

// The Date header value for a moment, in local time: "Tue, 08 Dec 2026 17:40:00 +0900".
std::string Rfc5322Date(std::time_t moment);

// A Message-ID value "<unique@domain>"; the domain is that of the sender address, or "localhost"
// when the address has none that a header can carry.
std::string NewMessageId(const std::string& senderAddress);

// The message that stops a send for a user-defined character (Shift_JIS, two bytes) in the field
// named fieldUtf8.
std::string UserDefinedCharMessage(const char* fieldUtf8, const std::string& character);

// The same for a character given by its code point (a message in UTF-8); the character itself
// is shown where code page 932 holds it.
std::string UserDefinedCharMessage(const char* fieldUtf8, char32_t character);

// The message that stops a send for a character that the ISO-2022-JP the setting asks for cannot
// carry, in the field named fieldUtf8.
std::string UnencodableCharMessage(const char* fieldUtf8, char32_t character);

// The message that stops a send for a character outside ASCII in a mail address of the field.
std::string NonAsciiAddressMessage(const char* fieldUtf8, char32_t character);

// The question before sending machine-dependent characters (each Shift_JIS, two bytes), and the
// warning where nobody can be asked.
std::string MachineDependentQuestion(const std::vector<std::string>& characters);
std::string MachineDependentWarning(const std::vector<std::string>& characters);

// What a send without server or sender tells (missing: the names of the settings), and the
// question that offers the options dialog.
std::string MissingSettingsText(const std::string& missing);
std::string MissingSettingsQuestion(const std::string& missing);

// A socket port from its setting: StrToInt's value, refused (ERangeError) outside 1 to 65535,
// where the socket would use only the low 16 bits and connect somewhere the user never named.
// A port never stored is the 25 that the options dialog shows.
int32_t PortNumber(const std::string& text);
