#pragma once
// The code window's Warnings tab: every warning since start, oldest first,
// shown from the newest page.

#include "general/pane.h"

class WarningsPane : public ListPane {
 public:
  // Appends a copy and scrolls so the newest line shows at the bottom.
  void addLine(const FixedIString& text);
};
