#pragma once
// A step of a send either lets it go on or stops it: the outcome, and the box text (Shift_JIS)
// that tells the user why. One function of the send flow reports every stop.
#include <optional>
#include <string>

#include "app/SendOutcome.h"

struct TSendStop {
    TSendOutcome Outcome;
    std::string Text;   // the box; empty when the step has told the user already
    std::string Error;  // what a caller that reports on its own (tidemark-send) prints
};

// What a step returns: nothing to go on, a stop to end the send.
using TStepResult = std::optional<TSendStop>;
