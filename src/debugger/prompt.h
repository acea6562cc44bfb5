#pragma once
// The one modal box of the front end, drawn over the debugger screen from a
// frame picture: a message box (title, text, notice; closed by Enter or Esc)
// or a prompt (title and an edit line; Enter runs its command, Esc cancels).
// While it is open the main loop is in dialog mode and the emulation stands.

#include "general/bitmap.h"
#include "general/istring.h"

extern PlainBitmap gDialogFrame;
extern PlainBitmap gDialogBackground;
// The edit line; the prompt commands read it.  A typed line begins with the
// colour code 3.
extern FixedIString gPromptLine;
extern void (*gPromptCallback)();
extern u32 gIsMessageBox;
extern float gKeyDelay;
extern float gDialogOpenedAt;
extern u32 gDialogRedrawMask;

// How long the open box stays as it is drawn: a message box until a key
// comes, a prompt until its cursor changes phase (at least 1 ms).
uint32_t dialogIdleMilliseconds();

// Gives back the frame and the saved background (shut-down).
void releaseDialogPictures();

void showMessageBox(const FixedIString& title, const FixedIString& text, float delay);
void promptForInput(const FixedIString& title, void (*command)());

namespace Dialog {
void handleKey(u32 key);
void draw();
}  // namespace Dialog

// The box's place on the display and the rows inside the frame.
struct DialogGeometry {
  u32 boxX, boxY;
  u32 row1, row2, bottomRow;
  u32 rowWidth;
};
DialogGeometry dialogGeometry();

// The clock of the key delay and the cursor blink (readCycleSeconds unless a
// test gives its own).
void setDialogClock(float (*clock)());
