#include "userdata/AddressBook.h"

#include <map>
#include <utility>

#include "userdata/LineFile.h"

namespace userdata {
namespace {

std::vector<std::string> LinesOrNone(const std::string& path) {
    try {
        return ReadLineFile(path);
    } catch (const EFileReadError&) {
        return {};
    }
}

}  // namespace

std::vector<TBookEntry> BookEntries(const std::vector<std::string>& bookLines,
                                    const std::vector<std::string>& readingLines) {
    std::map<std::pair<std::string, std::string>, std::string> readings;
    for (size_t i = 0; i + 2 < readingLines.size(); i += 3)
        readings[{readingLines[i], readingLines[i + 1]}] = readingLines[i + 2];
    std::vector<TBookEntry> entries;
    for (size_t i = 0; i < bookLines.size(); i += 2) {
        TBookEntry entry{bookLines[i], i + 1 < bookLines.size() ? bookLines[i + 1] : "", ""};
        if (const auto found = readings.find({entry.Name, entry.Addless}); found != readings.end())
            entry.Reading = found->second;
        entries.push_back(std::move(entry));
    }
    return entries;
}

std::vector<std::string> ReadingLines(const std::vector<TBookEntry>& entries) {
    std::vector<std::string> lines;
    for (const TBookEntry& e : entries) {
        if (!e.Reading.empty())
            lines.insert(lines.end(), {e.Name, e.Addless, e.Reading});
    }
    return lines;
}

std::vector<TBookEntry> ReadAddressBook(const std::string& dir) {
    return BookEntries(LinesOrNone(dir + kAddressFile), LinesOrNone(dir + kReadingFile));
}

}  // namespace userdata
