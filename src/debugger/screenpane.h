#pragma once
// The App tab of the app window: the emulated screen, a copy of the video
// unit's last picture, exactly the pane's size.

#include "general/bitmap.h"
#include "general/pane.h"

class ScreenPane : public PaneContainer {
 public:
  // The picture takes the pane's size and starts black.
  void setRect(u32 left, u32 top, u32 width, u32 height) override;
  // Blits the picture whenever the frame asks, dirty or not.
  void draw() override;
  void scrollUp() override {}
  void scrollDown() override {}
  void pageUp() override {}
  void pageDown() override {}
  void refresh() override { markDirty(); }

  // Copies a finished frame into the picture at (0, 0).
  void takeFrame(PlainBitmap& frame);

  PlainBitmap picture;
};
