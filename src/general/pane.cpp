#include "general/pane.h"

#include "general/widgetgfx.h"

namespace {
constexpr u32 kBlitKeyed = 4;
}

PaneContainer::PaneContainer() { Widget::markDirty(); }

void PaneContainer::markDirty() {
  Widget::markDirty();
  for (u32 i = 0; i < children.count(); ++i) children.at(i)->markDirty();
}

void PaneContainer::onClick(u32 px, u32 py) {
  for (u32 i = 0; i < children.count(); ++i)
    if (children.at(i)->onClick(px, py)) return;
}

void PaneContainer::onRightClick(u32, u32) {}

void PaneContainer::setRect(u32 left, u32 top, u32 width, u32 height) {
  x = left;
  y = top;
  w = width;
  h = height;
}

void PaneContainer::draw() {
  for (u32 i = 0; i < children.count(); ++i) children.at(i)->draw();
}

TextPane::TextPane() { markDirty(); }

void TextPane::setRect(u32 left, u32 top, u32 width, u32 height) {
  PaneContainer::setRect(left, top, width, height);
  const u32 fh = widgetgfx::fontHeight();
  lines.resize(fh ? height / fh : 0, __FILE__, __LINE__);
}

void TextPane::draw() {
  if (isDirtyOnCurrentPage()) {
    const u32 fh = widgetgfx::fontHeight();
    widgetgfx::fill(gColourBlack, x, y, w, h);
    // A line longer than the pane is cut at its edge, not drawn over the
    // window beside it.
    for (u32 i = 0; i < lines.count(); ++i)
      widgetgfx::clippedText(x, y + i * fh, gColourRed, lines.at(i), kBlitKeyed, x, y, w, h);
    clearDirtyOnCurrentPage();
  }
  PaneContainer::draw();
}

void TextPane::appendLine(const FixedIString& text) {
  const u32 n = lines.count();
  if (n == 0) return;
  for (u32 k = 0; k + 1 < n; ++k) lines.at(k) = lines.at(k + 1);
  lines.at(n - 1) = text;
  markDirty();
}

void ListPane::refresh() {
  const u32 n = lines.count(), s = source.count();
  u32 i = 0;
  for (; i < n && top < s && i < s - top; ++i) lines.at(i).assign(source.at(top + i));
  for (; i < n; ++i) lines.at(i).clear();
  markDirty();
}

void ListPane::setTop(u32 n) {
  const u32 l = lines.count(), s = source.count();
  // n >= s - l, not n + l >= s: a "show the end" request near 2^32 must not wrap.
  if (l < s)
    top = n >= s - l ? s - l : n;
  else
    top = 0;
  refresh();
}

void ListPane::scrollUp() {
  const u32 l = lines.count();
  if (top == 0 || l == 0) return;
  if (top > source.count()) {  // the list shrank under the pane: rebuild instead
    setTop(top - 1);
    return;
  }
  for (u32 k = l - 1; k >= 1; --k) lines.at(k) = lines.at(k - 1);
  --top;
  lines.at(0).assign(source.at(top));
  markDirty();
}

void ListPane::scrollDown() {
  const u32 l = lines.count(), s = source.count();
  if (l == 0 || top >= s || s - top <= l) return;
  for (u32 k = 0; k + 1 < l; ++k) lines.at(k) = lines.at(k + 1);
  ++top;
  lines.at(l - 1).assign(source.at(top + l - 1));
  markDirty();
}

void ListPane::pageUp() {
  const u32 l = lines.count();
  if (l == 0) return;
  setTop(top > l ? top - l : 0);
}

void ListPane::pageDown() {
  const u32 l = lines.count(), s = source.count();
  if (l == 0) return;
  if (top >= s || s - top <= l)
    setTop(l < s ? s - l : 0);
  else
    setTop(top + l);
}

void refreshByRedraw(PaneContainer& pane) { pane.markDirty(); }

void refreshPlaceholder(TextPane& pane) {
  for (u32 i = 0; i < pane.lines.count(); ++i) pane.lines.at(i).assignText("* N * Y * I *");
  pane.markDirty();
}
