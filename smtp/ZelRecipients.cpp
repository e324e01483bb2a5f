// TZelSMTP: the addresses of one recipient entry.
#include "jconvert/HeaderWords.h"
#include "smtp/Zelsmtp.h"

// A semicolon never stands unquoted inside an address, so taking it as a separator too loses
// nothing, and a list written with semicolons reaches everyone it names. The header's address
// fields are split by the same rule, so the envelope and the header name the same addresses.
std::vector<std::string> TZelSMTP::SplitRecipients(const std::string& Entry) {
    return SplitAddressList(Entry, Iso2022JpWords);
}
