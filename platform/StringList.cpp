#include "platform/StringList.h"

#include <algorithm>
#include <cstdio>

#include "platform/CodePage.h"
#include "platform/Exception.h"

namespace {
unsigned char Fold(unsigned char c) {
    return (c >= 'a' && c <= 'z') ? c - 'a' + 'A' : c;
}
}  // namespace

int CompareText(std::string_view a, std::string_view b) {
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        const int d = Fold(a[i]) - Fold(b[i]);
        if (d != 0)
            return d;
    }
    return (a.size() < b.size()) ? -1 : (a.size() > b.size() ? 1 : 0);
}

void TStringList::CheckIndex(int index, int limit) const {
    if (index < 0 || index >= limit) {
        static const std::string format =
            platform::Sjis("リストのインデックスが範囲を超えています (%d)");
        char text[128];
        std::snprintf(text, sizeof text, format.c_str(), index);
        throw EStringListError(text);
    }
}

int TStringList::Add(std::string s) {
    if (!sorted_) {
        items_.push_back(std::move(s));
        return Count() - 1;
    }
    auto at = std::upper_bound(items_.begin(), items_.end(), s,
                               [](const auto& x, const auto& y) { return CompareText(x, y) < 0; });
    const int index = static_cast<int>(at - items_.begin());
    items_.insert(at, std::move(s));
    return index;
}

void TStringList::Insert(int index, std::string s) {
    CheckIndex(index, Count() + 1);
    items_.insert(items_.begin() + index, std::move(s));
}

void TStringList::Delete(int index) {
    CheckIndex(index, Count());
    items_.erase(items_.begin() + index);
}

const std::string& TStringList::operator[](int index) const {
    CheckIndex(index, Count());
    return items_[index];
}

void TStringList::Put(int index, std::string s) {
    CheckIndex(index, Count());
    items_[index] = std::move(s);
}

std::string TStringList::Text() const {
    std::string text;
    for (const auto& line : items_) {
        text += line;
        text += "\r\n";
    }
    return text;
}

void TStringList::SetSorted(bool sorted) {
    if (sorted && !sorted_) {
        std::stable_sort(items_.begin(), items_.end(),
                         [](const auto& x, const auto& y) { return CompareText(x, y) < 0; });
    }
    sorted_ = sorted;
}
