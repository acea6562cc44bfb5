#include "general/tabframe.h"

#include "general/hooks.h"
#include "general/widgetgfx.h"

Array<TabFrame*> gTabFrames;

namespace {
// The list's storage goes at shut-down, before the allocation report.
ShutdownHook gFrameListHook;
const bool gFrameListHookAdded = (addShutdownHook(gFrameListHook, [] { gTabFrames.clear(); }), true);
}  // namespace

namespace {

// Box-drawing cells of the font: left end, right end, title underline, background.
constexpr u16 kLeftEnd = 16, kRightEnd = 17, kUnderline = 18, kBackground = 19;
constexpr u32 kBlitKeyed = 4, kBlitGlyph = 5;

u32 minus(u32 a, u32 b) { return a > b ? a - b : 0; }

FixedIString repeated(u16 c, u32 n) {
  FixedIString t;
  for (u32 i = 0; i < n && i < 256; ++i) t.appendChar16(c);
  return t;
}

bool frameListed(const TabFrame* frame) {
  for (u32 i = 0; i < gTabFrames.count(); ++i)
    if (gTabFrames.at(i) == frame) return true;
  return false;
}

}  // namespace

TabFrame::TabFrame() { TabFrame::selectTab(0); }

TabFrame::~TabFrame() {
  // A frame destroyed while registered must not leave dangling entries behind.
  while (frameListed(this)) removeTabFrame(this);
  removeMouseHandlers(&callbacks);
  freeCallbacks();
}

void TabFrame::freeCallbacks() {
  for (u32 i = 0; i < callbacks.count(); ++i) trackedFree(callbacks.at(i));  // virtual destructor
  callbacks.clear();
}

void TabFrame::selectTab(u32 index) {
  selected = index;
  markDirty();
}

void TabFrame::setRect(u32 left, u32 top, u32 width, u32 height) {
  x = left;
  y = top;
  w = width;
  h = height;
  freeCallbacks();
  const u32 fh = widgetgfx::fontHeight();
  FrameClickCallback* c = nullptr;
  trackedAlloc(c, 1, __FILE__, __LINE__);
  c->setTarget(this);
  c->setRect(x + 2, y + fh + 2, minus(w, 4), minus(h, fh + 4));
  callbacks.append(c);
}

void TabFrame::addTab(const FixedIString& title, PaneContainer* pane) {
  const u32 fw = widgetgfx::fontWidth(), fh = widgetgfx::fontHeight();
  u32 left = x;
  for (u32 i = 0; i < tabs.count(); ++i) left += (tabs.at(i).title.length() + 2) * fw;
  TabRecord r;
  r.title = title;
  r.pane = pane;
  tabs.append(r);
  if (pane) {
    pane->setRect(x + 2, y + fh, minus(w, 4), minus(h, fh + 2));
    pane->owner = this;
    pane->refresh();
  }
  TabTitleCallback* c = nullptr;
  trackedAlloc(c, 1, __FILE__, __LINE__);
  c->setTarget(this);
  c->tabIndex = static_cast<u8>(tabs.count() - 1);
  c->setRect(left, y, (title.length() + 2) * fw, fh);
  callbacks.append(c);
}

PaneContainer* TabFrame::selectedPane() const {
  return selected < tabs.count() ? tabs.atConst(selected).pane : nullptr;
}

void TabFrame::scrollUp() {
  if (PaneContainer* p = selectedPane()) p->scrollUp();
}

void TabFrame::scrollDown() {
  if (PaneContainer* p = selectedPane()) p->scrollDown();
}

void TabFrame::pageUp() {
  if (PaneContainer* p = selectedPane()) p->pageUp();
}

void TabFrame::pageDown() {
  if (PaneContainer* p = selectedPane()) p->pageDown();
}

void FrameClickCallback::onLeftClick(u32 px, u32 py) {
  if (!contains(px, py) || !target) return;
  if (PaneContainer* p = target->selectedPane()) p->onClick(px, py);
}

void FrameClickCallback::onRightClick(u32 px, u32 py) {
  if (!contains(px, py) || !target) return;
  if (PaneContainer* p = target->selectedPane()) p->onRightClick(px, py);
}

void TabTitleCallback::onLeftClick(u32 px, u32 py) {
  if (contains(px, py) && target) target->selectTab(tabIndex);
}

void addTabFrame(TabFrame* frame) {
  gTabFrames.append(frame);
  addMouseHandlers(&frame->callbacks);
}

void removeTabFrame(TabFrame* frame) {
  gTabFrames.remove(frame);
  removeMouseHandlers(&frame->callbacks);
}

void drawTabFrame(TabFrame& f) {
  if (f.isDirtyOnCurrentPage()) {
    const u32 fw = widgetgfx::fontWidth(), fh = widgetgfx::fontHeight();
    const u32 x = f.x, y = f.y, right = x + minus(f.w, 1), bottom = y + minus(f.h, 1);
    const u32 paneTop = y + minus(fh, 1);
    widgetgfx::line(x + 1, paneTop, x + 1, bottom, gColourBlue);
    widgetgfx::line(x + 1, bottom, right, bottom, gColourBlue);
    widgetgfx::line(right, paneTop, right, bottom, gColourBlue);
    u32 tx = x + 1;
    for (u32 i = 0; i < f.tabs.count(); ++i) {
      const FixedIString& title = f.tabs.at(i).title;
      const u32 n = title.length();
      const bool chosen = i == f.selected;
      widgetgfx::text(tx, y, chosen ? gColourBlack : gColourBlue, repeated(kBackground, n + 2), kBlitKeyed);
      widgetgfx::text(tx, y, gColourBlue, repeated(kLeftEnd, 1), kBlitGlyph);
      tx += fw;
      widgetgfx::text(tx, y, chosen ? gColourYellow : gColourGrey, title, kBlitGlyph);
      widgetgfx::text(tx, y, gColourBlue, repeated(kUnderline, n), kBlitGlyph);
      tx += n * fw;
      widgetgfx::text(tx, y, gColourBlue, repeated(kRightEnd, 1), kBlitGlyph);
      tx += fw;
    }
    if (tx <= right) widgetgfx::line(tx, paneTop, right, paneTop, gColourBlue);
    f.clearDirtyOnCurrentPage();
  }
  if (PaneContainer* p = f.selectedPane()) p->draw();
}

void drawAllTabFrames() {
  for (u32 i = 0; i < gTabFrames.count(); ++i) drawTabFrame(*gTabFrames.at(i));
}
