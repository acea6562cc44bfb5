#pragma once
// The code window's Help tab: a text file, one list line per file line, with
// tabs every four characters.

#include "general/pane.h"

class HelpPane : public ListPane {
 public:
  void draw() override;
};

// Replaces the pane's list with the lines of the file (each keeps its
// newline); a file that cannot be opened leaves the list empty and is noted
// in the debug log.
void loadHelpText(HelpPane& pane, const FixedIString& fileName);
