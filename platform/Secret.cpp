#include "platform/Secret.h"

#include <sys/prctl.h>

#include <cstring>

namespace platform {

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
