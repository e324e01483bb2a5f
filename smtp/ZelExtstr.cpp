#include "smtp/ZelExtstr.h"

namespace {

// The header name of a line: everything before its first ":"; empty when it has none.
std::string NamePart(const std::string& Line) {
    const auto colon = Line.find(':');
    return colon == std::string::npos ? std::string() : Line.substr(0, colon);
}

}  // namespace

int TExStringList::FindHeader(const std::string& Name) const {
    return Sorted() ? FindSorted(Name) : FindUnsorted(Name);
}

int TExStringList::FindUnsorted(const std::string& Name) const {
    for (int i = 0; i < Count(); ++i) {
        const std::string& line = (*this)[i];
        if (line.find(':') == std::string::npos)
            continue;
        if (CompareText(NamePart(line), Name) == 0)
            return i;
    }
    return -1;
}

int TExStringList::FindSorted(const std::string& Name) const {
    int low = 0;
    int high = Count() - 1;
    while (high + 1 != low) {
        const int probe = low + (high - low) / 2;
        const int order = CompareText(NamePart((*this)[probe]), Name);
        if (order == 0)
            return probe;
        if (order < 0) {
            low = probe + 1;
        } else {
            high = probe - 1;
        }
    }
    return -1;
}

void TExStringList::PutHeader(const std::string& Name, const std::string& Value) {
    int index = FindHeader(Name);
    if (Value.empty()) {
        if (index >= 0)
            Delete(index);
        return;
    }
    if (index < 0)
        index = Add(std::string());
    Put(index, Name + ": " + Value);
}
