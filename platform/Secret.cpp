#include "platform/Secret.h"

#include <sys/prctl.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <unordered_set>
#include <vector>

namespace platform {
namespace {

std::string Lowered(std::string_view text) {
    std::string lowered(text);
    std::transform(lowered.begin(), lowered.end(), lowered.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lowered;
}

// Marks every window of Text (lowered) of the given width that occurs in Secret (lowered).
// Windows that overlap join: together they cover each common part of that width or longer.
void MarkCommonParts(std::string_view text, std::string_view secret, size_t width,
                     std::vector<bool>& hidden) {
    if (text.size() < width)
        return;
    std::unordered_set<std::string_view> parts;
    for (size_t at = 0; at + width <= secret.size(); ++at)
        parts.insert(secret.substr(at, width));
    for (size_t at = 0; at + width <= text.size(); ++at) {
        if (parts.contains(text.substr(at, width)))
            std::fill(hidden.begin() + static_cast<ptrdiff_t>(at),
                      hidden.begin() + static_cast<ptrdiff_t>(at + width), true);
    }
}

}  // namespace

void HideSecret(std::string& Text, std::string_view Secret) {
    if (Secret.empty())
        return;
    std::string secret = Lowered(Secret);
    std::string text = Lowered(Text);
    std::vector<bool> hidden(Text.size(), false);
    MarkCommonParts(text, secret, std::min(kHiddenPart, secret.size()), hidden);
    WipeSecret(secret);
    WipeSecret(text);
    std::string shown;
    for (size_t at = 0; at < Text.size(); ++at) {
        if (!hidden[at])
            shown += Text[at];
        else if (at == 0 || !hidden[at - 1])
            shown += "***";
    }
    WipeSecret(Text);
    Text = std::move(shown);
}

void WipeSecret(std::string& Text) {
    // Growing within the capacity moves nothing, so the bytes a shorter value left behind
    // are reached too.
    Text.resize(Text.capacity());
    explicit_bzero(Text.data(), Text.size());
    Text.clear();
}

NonDumpableScope::NonDumpableScope() : previous_(::prctl(PR_GET_DUMPABLE)) {
    ::prctl(PR_SET_DUMPABLE, 0);
}

NonDumpableScope::~NonDumpableScope() {
    if (previous_ > 0)
        ::prctl(PR_SET_DUMPABLE, previous_);
}

}  // namespace platform
