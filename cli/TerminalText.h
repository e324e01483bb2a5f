#pragma once
// What tidemark-send prints may carry a server's words: every text goes out through the one
// filter of platform/ScreenText.h.
#include "platform/ScreenText.h"

using platform::TerminalText;
