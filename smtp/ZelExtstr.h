#pragma once
// TExStringList: the list of header lines ("Name: value") of an outgoing message.
#include <string>

#include "platform/StringList.h"

class TExStringList : public TStringList {
  public:
    // Index of the first line whose name part (the text before its first ":") equals Name,
    // ignoring case; -1 when there is none. A sorted list is searched by halving.
    int FindHeader(const std::string& Name) const;

    // Sets the line of header Name to Name + ": " + Value, keeping its place, or appends it;
    // an empty Value removes the line.
    void PutHeader(const std::string& Name, const std::string& Value);

  private:
    int FindUnsorted(const std::string& Name) const;
    int FindSorted(const std::string& Name) const;
};
