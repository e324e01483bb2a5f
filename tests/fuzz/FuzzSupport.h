#pragma once
// What every fuzz target shares: a failed property ends the run, so libFuzzer keeps the input.
#include <cstdlib>

inline void Require(bool condition) {
    if (!condition)
        std::abort();
}
