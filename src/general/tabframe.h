#pragma once
// A framed rectangle with a row of tab titles along its top; each tab shows
// one pane.  The debugger windows derive from TabFrame; a frame owns the click
// handlers that route clicks to its titles and to its selected pane.

#include "general/mouse.h"
#include "general/pane.h"
#include "general/widget.h"

struct TabRecord {
  FixedIString title;
  PaneContainer* pane = nullptr;  // may be null; not owned
};

class TabFrame : public Widget {
 public:
  TabFrame();
  // Frees the handlers and leaves the frame list and the mouse dispatch.
  ~TabFrame() override;

  // Marks only the frame: an override marks or refills the newly shown pane.
  virtual void selectTab(u32 index);

  // Set once, before the first addTab.  Replaces (and frees) every handler.
  void setRect(u32 left, u32 top, u32 width, u32 height);
  // Lays out the title cell and the pane, gives the pane its first refresh.
  void addTab(const FixedIString& title, PaneContainer* pane);

  void scrollUp();
  void scrollDown();
  void pageUp();
  void pageDown();
  u32 currentTab() const { return selected; }
  // Null when the selected tab has no pane or does not exist.
  PaneContainer* selectedPane() const;

  Array<TabRecord> tabs;  // tab i is record i
  u32 x = 0, y = 0, w = 0, h = 0;
  u32 selected = 0;
  CallbackList callbacks;  // owned

 private:
  void freeCallbacks();
};

// Covers the pane area and hands clicks to the selected pane.
class FrameClickCallback : public Callback {
 public:
  void onLeftClick(u32 px, u32 py) override;
  void onRightClick(u32 px, u32 py) override;
};

// Covers one title cell; a left click selects that tab.
class TabTitleCallback : public Callback {
 public:
  void onLeftClick(u32 px, u32 py) override;
  u8 tabIndex = 0;
};

// Frames that are drawn each pass and whose clicks are routed, in order.
extern Array<TabFrame*> gTabFrames;

void addTabFrame(TabFrame* frame);
void removeTabFrame(TabFrame* frame);
// Draws the frame when dirty, and its selected pane (which draws what is dirty).
void drawTabFrame(TabFrame& frame);
void drawAllTabFrames();
