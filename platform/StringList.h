#pragma once
// The ordered list of byte strings behind every list of the program.
#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

class TStringList {
  public:
    virtual ~TStringList() = default;

    int Count() const { return static_cast<int>(items_.size()); }
    bool Empty() const { return items_.empty(); }

    // Appends (or, when sorted, inserts in order); returns the index.
    int Add(std::string s);
    void Insert(int index, std::string s);
    void Delete(int index);
    void Clear() { items_.clear(); }
    // Room for count lines in all, so that a long list grows only once.
    void Reserve(int count) { items_.reserve(static_cast<size_t>(std::max(count, 0))); }

    // Indexed access; an index outside the list raises EStringListError.
    const std::string& operator[](int index) const;
    const std::string& Strings(int index) const { return (*this)[index]; }
    void Put(int index, std::string s);

    void Assign(const TStringList& other) { items_ = other.items_; }
    void Assign(std::vector<std::string> lines) { items_ = std::move(lines); }

    // Every line followed by CR LF.
    std::string Text() const;

    // A sorted list keeps its lines in case-insensitive order.
    bool Sorted() const { return sorted_; }
    void SetSorted(bool sorted);

    const std::vector<std::string>& Lines() const { return items_; }
    auto begin() const { return items_.begin(); }
    auto end() const { return items_.end(); }

  private:
    void CheckIndex(int index, int limit) const;

    std::vector<std::string> items_;
    bool sorted_ = false;
};

// Case-insensitive comparison of byte strings (ASCII letters fold; other bytes compare as is).
int CompareText(std::string_view a, std::string_view b);
