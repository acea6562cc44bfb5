#include "debugger/screenpane.h"

#include "general/view.h"

void ScreenPane::setRect(u32 left, u32 top, u32 width, u32 height) {
  picture.resize(width, height);
  picture.fillRect(0, nullptr);
  PaneContainer::setRect(left, top, width, height);
}

void ScreenPane::draw() {
  picture.blitBitmap(gView, i32(x), i32(y), BlitOptions{});
  PaneContainer::draw();
  clearDirtyOnCurrentPage();
}

void ScreenPane::takeFrame(PlainBitmap& frame) {
  // A frame larger than the pane is clipped by the blit; a smaller one
  // leaves the rest as it was.
  if (frame.width() != 0 && frame.height() != 0) frame.blitBitmap(picture, 0, 0, BlitOptions{});
}
