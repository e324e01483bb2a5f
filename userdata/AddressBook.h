#pragma once
// The address book's entries as files hold them. "Address.dat" keeps two lines an entry (name,
// address), as it always has; the readings (よみ) that completion also matches live beside it in
// "AddressYomi.dat", three lines an entry (name, address, reading), so that the book's own file
// stays as every version of the program reads it. Both Shift_JIS, CR LF after every line.
#include <string>
#include <vector>

namespace userdata {

inline constexpr const char* kAddressFile = "Address.dat";
inline constexpr const char* kReadingFile = "AddressYomi.dat";

struct TBookEntry {
    std::string Name;
    std::string Addless;
    std::string Reading;
    bool operator==(const TBookEntry&) const = default;
};

// The entries of the book's lines (a name on the last line gets an empty address), each with
// the reading the reading lines give its name and address.
std::vector<TBookEntry> BookEntries(const std::vector<std::string>& bookLines,
                                    const std::vector<std::string>& readingLines);

// The reading lines of the entries that have a reading.
std::vector<std::string> ReadingLines(const std::vector<TBookEntry>& entries);

// The book in dir (with its final separator) for completion: quietly, none when the file cannot
// be read.
std::vector<TBookEntry> ReadAddressBook(const std::string& dir);

}  // namespace userdata
