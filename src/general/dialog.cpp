#include "general/dialog.h"

#include "general/widgetgfx.h"
#include "platform/variant.h"

namespace {

// Font cells and colour codes of the controls.
constexpr u16 kEmptyBox = 20, kCheckedBox = 21, kUnchosen = 22, kChosen = 23;
constexpr u16 kGreen = 3, kOrange = 5;
constexpr u32 kBlitKeyed = 4;

FixedIString fixedOf(const IString& s) {
  FixedIString f;
  f.assign(s);
  return f;
}

}  // namespace

// The older program's items are not widgets: only their pane marks them.
DialogItem::DialogItem() : Widget(!variant::kOlder) { markDirty(); }

bool DialogItem::isDirtyOnCurrentPage() const { return enabled && Widget::isDirtyOnCurrentPage(); }

void DialogItem::enable() {
  enabled = 1;
  markDirty();
}

void DialogItem::setPosition(u32 left, u32 top) {
  x = left;
  y = top;
}

bool CheckItem::onClick(u32 px, u32 py) {
  if (!enabled) return false;
  const u32 fw = widgetgfx::fontWidth(), fh = widgetgfx::fontHeight();
  const u32 side = fw < fh ? fw : fh;
  if (px - x >= side || py - y >= side) return false;
  if (isChecked())
    setOff();
  else
    setOn();
  markDirty();
  return true;
}

void CheckItem::draw() {
  if (!isDirtyOnCurrentPage()) return;
  FixedIString t;
  t.appendChar16(kGreen);
  t.appendChar16(isChecked() ? kCheckedBox : kEmptyBox);
  t.appendChar16(kOrange);
  if (!variant::kOlder)
    for (u32 i = 0; i < indent && t.length() < 256; ++i) t.appendChar16(' ');
  for (u32 i = 0; i < label.length() && t.length() < 256; ++i) t.appendChar16(label.at(i));
  widgetgfx::text(x, y, gColourBlue, t, kBlitKeyed);
  clearDirtyOnCurrentPage();
}

u32 CheckItem::width() const { return (label.length() + indent + 1) * widgetgfx::fontWidth(); }

u32 CheckItem::height() const { return widgetgfx::fontHeight(); }

void CheckItem::setLabel(const IString& text) { label = text; }

bool ChoiceItem::onClick(u32 px, u32 py) {
  if (!enabled) return false;
  const u32 fw = widgetgfx::fontWidth(), fh = widgetgfx::fontHeight();
  for (u32 i = 0; i < options.count(); ++i) {
    const u32 rowTop = y + (i + 1) * fh;  // the label takes the first row
    if (px - x >= fw || py - rowTop >= fh) continue;
    if (i != selection) {
      beforeChoiceChange(selection);
      setChoice(i);
      selection = getChoice();
      markDirty();
    }
    return true;
  }
  return false;
}

void ChoiceItem::draw() {
  if (!isDirtyOnCurrentPage()) return;
  const u32 fh = widgetgfx::fontHeight();
  widgetgfx::text(x, y, gColourYellow, fixedOf(label), kBlitKeyed);
  for (u32 i = 0; i < options.count(); ++i) {
    FixedIString t;
    t.appendChar16(i == selection ? kChosen : kUnchosen);
    t.appendChar16(' ');
    const IString& o = options.at(i);
    for (u32 k = 0; k < o.length() && t.length() < 256; ++k) t.appendChar16(o.at(k));
    widgetgfx::text(x, y + (i + 1) * fh, gColourRed, t, kBlitKeyed);
  }
  clearDirtyOnCurrentPage();
}

u32 ChoiceItem::width() const {
  const u32 fw = widgetgfx::fontWidth();
  u32 widest = label.length() * fw;
  for (u32 i = 0; i < options.count(); ++i) {
    const u32 w = (options.at(i).length() + 2) * fw;
    if (w > widest) widest = w;
  }
  return widest;
}

u32 ChoiceItem::height() const { return (options.count() + 1) * widgetgfx::fontHeight(); }

void ChoiceItem::setLabel(const IString& text) { label = text; }

void ChoiceItem::setOption(u32 i, const IString& text) {
  CHECK(i < options.count());
  if (i < options.count()) options.at(i) = text;
}

void ChoiceItem::setPosition(u32 left, u32 top, u32 count) {
  DialogItem::setPosition(left, top);
  options.resize(count, __FILE__, __LINE__);
}
