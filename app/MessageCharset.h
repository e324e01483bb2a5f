#pragma once
// The character set a message goes out in, and what no message may carry whatever its set.
// Texts here are UTF-8.
#include <string>
#include <string_view>
#include <vector>

#include "smtp/AddressList.h"

// The "Charset" setting: automatic (ISO-2022-JP while every text fits it, else UTF-8), always
// ISO-2022-JP (refusing what it cannot carry), or always UTF-8.
enum class TCharset { Auto, Iso2022Jp, Utf8 };

// "" or "auto", "iso-2022-jp", "utf-8"; anything else raises Exception naming the value.
TCharset CharsetOf(const std::string& setting);

// The first character of the writer's own font (a private-use code point) in text, 0 when none.
char32_t FindPrivateUseChar(std::string_view utf8);

// The first character outside ASCII in the addresses of the mailboxes (the addresses RCPT would
// name), 0 when none: a server without SMTPUTF8 cannot take it.
char32_t FindNonAsciiAddressChar(const std::vector<TMailbox>& mailboxes);
