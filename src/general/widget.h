#pragma once
// The base of everything the debugger draws: a per-page dirty mask, so a
// change is drawn once into each of the display's two pages, and the list of
// all widgets that a full redraw walks.

#include "general/base.h"
#include "general/istring.h"
#include "general/ptr.h"

class Widget {
 public:
  Widget() : Widget(true) {}
  virtual ~Widget();

  // Sets every bit, not just the two pages' ones.
  virtual void markDirty();
  virtual bool isDirtyOnCurrentPage() const;
  virtual void clearDirtyOnCurrentPage();

  u32 dirtyMask = 0;
  Widget* next = nullptr;
  Widget* prev = nullptr;

  Widget(const Widget&) = delete;
  Widget& operator=(const Widget&) = delete;

 protected:
  // An unlisted widget (the dialog items of the older program) stays out of
  // gWidgets and is marked only through its owner.
  explicit Widget(bool listed);

 private:
  bool listed_;
};

// Head of the list of every live widget, newest first.
extern Widget* gWidgets;

// Marks every widget dirty (containers mark their children too), so the whole
// screen is drawn again into both pages.
void markAllWidgetsDirty();

// Font number of every frame, pane and item, and the five colours of the
// application (pixel values of the current mode); application set-up fills them.
extern u32 gWidgetFont;
extern u32 gColourGrey;
extern u32 gColourYellow;
extern u32 gColourBlue;
extern u32 gColourBlack;
extern u32 gColourRed;
