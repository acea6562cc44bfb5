#pragma once
// Click handlers and the mouse dispatch: every tabbed frame owns a list of
// handlers, registers it here, and each handler does its own hit test.

#include "general/base.h"
#include "general/ptr.h"

class TabFrame;

// A click handler over a half-open screen rectangle, forwarding to its target.
class Callback {
 public:
  Callback() = default;
  virtual ~Callback() = default;
  virtual void onLeftClick(u32 px, u32 py);
  virtual void onRightClick(u32 px, u32 py);

  void setRect(u32 left, u32 top, u32 width, u32 height);
  void setTarget(TabFrame* frame) { target = frame; }
  // Unsigned compares, so w or h of 0 contains nothing.
  bool contains(u32 px, u32 py) const { return px >= x && py >= y && px - x < w && py - y < h; }

  u32 x = 0, y = 0, w = 0, h = 0;
  TabFrame* target = nullptr;  // not owned

  Callback(const Callback&) = delete;
  Callback& operator=(const Callback&) = delete;
};

using CallbackList = Array<Callback*>;

// Registered handler lists, in registration order; the lists are not owned.
extern Array<CallbackList*> gMouseHandlers;

// Last mouse position in window pixels, and the dispatch switch (off while a
// message box or prompt is open, and until the debugger display is entered).
extern u32 gMouseX;
extern u32 gMouseY;
extern u32 gMouseDispatchEnabled;

void addMouseHandlers(CallbackList* list);
void removeMouseHandlers(CallbackList* list);
void setMouseDispatch(u32 on);
bool isMouseDispatchOn();

// Offer a click to every handler of every registered list, in order.  A
// handler may add or remove frames and handlers while it runs.
void dispatchLeftClick(u32 x, u32 y);
void dispatchRightClick(u32 x, u32 y);

// What the window procedure does with the three mouse messages: record the
// position, clamped into the screen (a letterbox click left of or above the
// picture gives 0), and for a button press dispatch it when the switch is on.
enum class MouseEvent { kMove, kLeftDown, kRightDown };
void handleMouseEvent(MouseEvent event, i32 x, i32 y, u32 screenWidth, u32 screenHeight);
