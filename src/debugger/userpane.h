#pragma once
// The code window's User tab: the lines the guest prints through the debug
// service, the newest at the bottom; older lines are kept only in
// "debug.txt" when logging is on.

#include "general/config.h"
#include "general/pane.h"

class UserPane : public TextPane {
 public:
  void refresh() override { markDirty(); }
};

// Appends the message to "debug.txt" when logging is on (a warning when the
// file cannot be opened), then puts it last on the pane.
void printUserMessage(UserPane& pane, const FixedIString& text);

inline constexpr const char* kUserLogFile = "debug.txt";

#ifndef VANDREL_OLDER_VARIANT
// "Log user messages to debug.txt"; the Options tab switches it.
ConfigOption<i32>& logUserMessagesOption();
#endif
