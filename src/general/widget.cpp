#include "general/widget.h"

#include "general/widgetgfx.h"

Widget* gWidgets = nullptr;
u32 gWidgetFont = 0;
u32 gColourGrey = 0;
u32 gColourYellow = 0;
u32 gColourBlue = 0;
u32 gColourBlack = 0;
u32 gColourRed = 0;

Widget::Widget(bool listed) : listed_(listed) {
  if (!listed) return;
  next = gWidgets;
  if (gWidgets) gWidgets->prev = this;
  gWidgets = this;
}

Widget::~Widget() {
  if (!listed_) return;
  if (prev)
    prev->next = next;
  else if (gWidgets == this)
    gWidgets = next;
  if (next) next->prev = prev;
}

void Widget::markDirty() { dirtyMask = 255; }

bool Widget::isDirtyOnCurrentPage() const { return (dirtyMask & (1u << widgetgfx::page())) != 0; }

void Widget::clearDirtyOnCurrentPage() { dirtyMask &= ~(1u << widgetgfx::page()); }

void markAllWidgetsDirty() {
  for (Widget* w = gWidgets; w; w = w->next) w->markDirty();
}
