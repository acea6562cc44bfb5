#include "general/mouse.h"

#include "general/hooks.h"
#include "platform/variant.h"

Array<CallbackList*> gMouseHandlers;

namespace {
// The list's storage goes at shut-down, before the allocation report.
ShutdownHook gHandlerListHook;
const bool gHandlerListHookAdded = (addShutdownHook(gHandlerListHook, [] { gMouseHandlers.clear(); }), true);
}  // namespace
u32 gMouseX = 0;
u32 gMouseY = 0;
u32 gMouseDispatchEnabled = 0;

void Callback::onLeftClick(u32, u32) {}
void Callback::onRightClick(u32, u32) {}

void Callback::setRect(u32 left, u32 top, u32 width, u32 height) {
  x = left;
  y = top;
  w = width;
  h = height;
}

void addMouseHandlers(CallbackList* list) { gMouseHandlers.append(list); }

void removeMouseHandlers(CallbackList* list) { gMouseHandlers.remove(list); }

void setMouseDispatch(u32 on) { gMouseDispatchEnabled = on; }

bool isMouseDispatchOn() { return gMouseDispatchEnabled != 0; }

namespace {

// Walks by index and re-reads every count after each call: a handler may
// select a tab that rebuilds handlers, or remove (even destroy) a frame.  A
// list that is no longer registered at its index is left at once, since it
// may be gone.
template <typename Call>
void dispatch(Call call) {
  for (u32 i = 0; i < gMouseHandlers.count(); ++i) {
    CallbackList* list = gMouseHandlers.at(i);
    for (u32 j = 0; i < gMouseHandlers.count() && gMouseHandlers.at(i) == list && j < list->count(); ++j)
      call(list->at(j));
  }
}

u32 clampCoordinate(i32 v, u32 size) {
  if (v < 0) return 0;
  u32 u = static_cast<u32>(v);
  if (size != 0 && u >= size) return size - 1;
  return u;
}

}  // namespace

void dispatchLeftClick(u32 x, u32 y) {
  dispatch([=](Callback* c) { c->onLeftClick(x, y); });
}

void dispatchRightClick(u32 x, u32 y) {
  dispatch([=](Callback* c) { c->onRightClick(x, y); });
}

void handleMouseEvent(MouseEvent event, i32 x, i32 y, u32 screenWidth, u32 screenHeight) {
  gMouseX = clampCoordinate(x, screenWidth);
  gMouseY = clampCoordinate(y, screenHeight);
  // The older program has no dispatch switch.
  if (!variant::kOlder && !gMouseDispatchEnabled) return;
  if (event == MouseEvent::kLeftDown) dispatchLeftClick(gMouseX, gMouseY);
  if (event == MouseEvent::kRightDown) dispatchRightClick(gMouseX, gMouseY);
}
