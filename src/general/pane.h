#pragma once
// Panes, the content of one tab of a frame.  PaneContainer holds a rectangle
// and dialog items; TextPane adds one visible text line per font line;
// ListPane shows a window of a longer list, with a top index and scrolling.

#include "general/dialog.h"
#include "general/widget.h"

class TabFrame;

class PaneContainer : public Widget {
 public:
  PaneContainer();

  // The pane and every child.
  void markDirty() override;
  // Offers the click to each child until one takes it.
  virtual void onClick(u32 px, u32 py);
  virtual void onRightClick(u32 px, u32 py);
  virtual void setRect(u32 left, u32 top, u32 width, u32 height);
  // Draws every child (each only when dirty).
  virtual void draw();
  virtual void scrollUp() = 0;
  virtual void scrollDown() = 0;
  virtual void pageUp() = 0;
  virtual void pageDown() = 0;
  // Rebuilds what the pane shows from its data.
  virtual void refresh() = 0;

  // Children are not owned.
  void addChild(DialogItem* item) { children.append(item); }

  TabFrame* owner = nullptr;  // set by TabFrame::addTab
  u32 x = 0, y = 0, w = 0, h = 0;
  Array<DialogItem*> children;
};

class TextPane : public PaneContainer {
 public:
  TextPane();

  // Also sizes the visible lines to the pane height (new, empty lines when the
  // count changes).
  void setRect(u32 left, u32 top, u32 width, u32 height) override;
  void draw() override;
  void scrollUp() override {}
  void scrollDown() override {}
  void pageUp() override {}
  void pageDown() override {}
  // Moves to a position; panes that have positions override it.
  virtual void goTo(u32) {}

  // Scrolls the visible lines up by one, dropping line 0, and puts text last.
  void appendLine(const FixedIString& text);
  u32 lineCount() const { return lines.count(); }

  SizedArray<FixedIString> lines;  // line 0 at the top
};

class ListPane : public TextPane {
 public:
  void scrollUp() override;
  void scrollDown() override;
  void pageUp() override;
  void pageDown() override;
  // Rebuilds the visible lines from source, starting at top.
  void refresh() override;
  // Clamped so the last page is full while the list is longer than the pane.
  virtual void setTop(u32 n);

  const IString& sourceLine(u32 i) const { return source.atConst(i); }

  Array<IString> source;  // every line of the list, filled by the subclass
  u32 top = 0;            // the source line shown in visible line 0
};

// Stock refreshes for a subclass's refresh slot: only redraw, or fill every
// visible line with a placeholder.
void refreshByRedraw(PaneContainer& pane);
void refreshPlaceholder(TextPane& pane);
