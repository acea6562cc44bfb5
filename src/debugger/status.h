#pragma once
// The status line along the bottom of the debugger screen, the program's own
// mouse cursor, and the screenshot key's road.

#include "general/bitmap.h"
#include "general/istring.h"

// The loaded cartridge's file name; "No ROM loaded" until one is loaded.
extern FixedIString gRomName;

class MouseCursor : public SpriteBitmap {
 public:
  virtual void draw(Bitmap& target) { drawOn(target, int32_t(x_), int32_t(y_), options_); }
  void setPosition(u32 x, u32 y) {
    x_ = x;
    y_ = y;
  }
  void setBlitOptions(const BlitOptions& options) {
    options_.mode = options.mode;
    options_.key = options.key;
    options_.colour1 = options.colour1;
    options_.colour2 = options.colour2;
    options_.background = options.background;
  }
  u32 x() const { return x_; }
  u32 y() const { return y_; }
  const BlitOptions& blitOptions() const { return options_; }

 private:
  BlitOptions options_;
  u32 x_ = 0, y_ = 0;
};

extern MouseCursor gMouseCursor;

// The three texts of the status line and where they start, for a display
// width and glyph width: the cartridge name at the left (its tail, when it
// would run into the cycle count), the cycle count, the title at the right.
struct StatusLine {
  FixedIString romName, cycles, title;
  i32 romX, cyclesX, titleX;
};
StatusLine statusLineLayout(u32 displayWidth, u32 glyphWidth, const FixedIString& romName, u32 cycleCount);

void drawStatusLine();
void updateMouse();
// 'P': the emulated picture to "screen.bmp".
void screenshotKey();
