#pragma once
// The code window's Disassembly tab: one instruction per line around a
// cursor address, in the processor's current state (ARM or Thumb), with the
// cursor and execute breakpoints coloured.

#include "general/config.h"
#include "general/pane.h"

class DisassemblyPane : public TextPane {
 public:
  // Toggles the execute breakpoint on the clicked row.
  void onClick(u32 px, u32 py) override;
  // Also puts the cursor at the PC.
  void setRect(u32 left, u32 top, u32 width, u32 height) override;
  void draw() override;
  void scrollUp() override;
  void scrollDown() override;
  void pageUp() override;
  void pageDown() override;
  void refresh() override;
  void goTo(u32 address) override;

  // How many lines the listing shows before the cursor.
  u32 linesBefore() const;
  // The address shown on a row.
  u32 rowAddress(u32 row) const;

  u32 cursor = 0;  // the cursor instruction
  u32 end = 0;     // just after the last line shown
};

#ifndef VANDREL_OLDER_VARIANT
// "Cursor display option": 0 the cursor on the first line, 1 ten lines
// before it, 2 the cursor in the middle; the Options tab switches it.
ConfigOption<i32>& cursorDisplayOption();
#endif
