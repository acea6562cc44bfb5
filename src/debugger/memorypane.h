#pragma once
// The data window's Memory tab: guest memory from a start address, in the
// "Memory Format" cells, with palette entries shown on their own colour and
// the I/O registers decoded one a line.

#include "general/pane.h"

class MemoryPane : public TextPane {
 public:
  // Also goes back to the start of video RAM and refills.
  void setRect(u32 left, u32 top, u32 width, u32 height) override;
  void scrollUp() override { lineBack(); }
  void scrollDown() override { lineForward(); }
  void pageUp() override { pageBack(); }
  void pageDown() override { pageForward(); }
  void refresh() override { refill(); }
  void goTo(u32 address) override;

  void lineBack();
  void lineForward();
  void pageBack();
  void pageForward();
  // Rebuilds every visible line from guest memory.
  void refill();

  u32 start = 0x06000000;  // the first byte shown
  u32 end = 0x06000000;    // the byte after the last one the last refill showed
  u32 cellsPerLine = 1;
};
