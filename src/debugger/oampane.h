#pragma once
// The OAM tab of the data window: one sprite of the object attribute memory
// at a time, its number and its screen location; the scroll keys step
// through the 128 sprites.

#include "general/pane.h"

class OamPane : public PaneContainer {
 public:
  // Draws every time it is asked, dirty or not.
  void draw() override;
  void scrollUp() override { nextSprite(); }
  void scrollDown() override { previousSprite(); }
  void pageUp() override { skipForward(); }
  void pageDown() override { skipBack(); }
  void refresh() override {}

  // These only change the number; the next draw shows it.
  void nextSprite() { sprite = (sprite + 1) % 128; }
  void previousSprite() { sprite = (sprite + 127) % 128; }
  void skipForward() { sprite = (sprite + 16) % 128; }
  void skipBack() { sprite = (sprite + 112) % 128; }

  // The two text lines of the shown sprite.
  FixedIString numberLine() const;
  FixedIString locationLine() const;

  u32 sprite = 0;  // 0-127
};
