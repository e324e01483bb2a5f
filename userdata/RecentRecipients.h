#pragma once
// The addresses this program has sent to, most recent first, for address completion. Kept in
// "recent.dat" in the per-user data directory: UTF-8, one recipient a line, its address, a tab
// and the entry as it was typed. At most kLimit of them; an older one drops off the end.
#include <cstddef>
#include <string>
#include <vector>

namespace userdata {

struct TRecentRecipient {
    std::string Address;  // UTF-8
    std::string Text;     // the entry as typed, e.g. "佐藤 花子 <hanako@example.jp>"
    bool operator==(const TRecentRecipient&) const = default;
};

class TRecentRecipients {
  public:
    static constexpr size_t kLimit = 300;

    // dataDir ends in the path separator.
    explicit TRecentRecipients(const std::string& dataDir);

    // Most recent first; a missing or unreadable file holds none.
    std::vector<TRecentRecipient> Load() const;
    // Puts the recipients of one message in front, in their order; an address already listed
    // (letter case ignored) moves up instead of being listed twice. Raises EInOutError.
    void Add(const std::vector<TRecentRecipient>& sent);
    // Forgets them all. Raises EInOutError.
    void Clear();

    const std::string& Path() const { return path_; }

  private:
    std::string path_;
};

}  // namespace userdata
