#include "debugger/breakpane.h"

#include "core/emulator.h"
#include "debugger/app.h"
#include "debugger/commands.h"
#include "debugger/prompt.h"
#include "debugger/windows.h"
#include "general/draw.h"
#include "general/language.h"
#include "general/text.h"
#include "general/view.h"

u32 gEditedBreakpoint = 0;

namespace {

constexpr u16 kGreen = 3;
// Character columns where the editable fields begin.
constexpr u32 kRangeColumn = 9, kCountColumn = 18, kReloadColumn = 27, kAddressColumn = 38;

BreakpointTable& table() { return gEmulator.breakpoints(); }

u32 charWidth() { return fontWidth(gFontNumber); }
u32 charHeight() { return fontHeight(gFontNumber); }

FixedIString translated(const char* english) {
  FixedIString t;
  t.assignTextClipped(translate(english));
  return t;
}

void refreshBreakpointsTab() {
  if (gDataWindow) gDataWindow->refreshTab(DataWindow::kBreakpoints);
}

void refreshDisassembly() {
  if (gCodeWindow) gCodeWindow->refreshTab(CodeWindow::kDisassembly);
}

// The record a prompt edits; false when it is gone meanwhile.
bool editedRecord(BreakpointRecord& out) {
  if (gEditedBreakpoint >= table().list().count()) return false;
  out = table().list()[gEditedBreakpoint];
  return true;
}

}  // namespace

bool ConditionToggle::isChecked() {
  if (!CHECK(index < table().list().count())) return false;
  return (table().list()[index].kinds & bit) != 0;
}

void ConditionToggle::setKinds(u32 kinds) {
  const BreakpointRecord r = table().list()[index];
  // The countdown starts again from its reload value.
  table().replace(index, r.address, r.length, r.reload, kinds);
  refreshBreakpointsTab();
}

void ConditionToggle::setOn() {
  if (CHECK(index < table().list().count())) setKinds(table().list()[index].kinds | bit);
}

void ConditionToggle::setOff() {
  if (CHECK(index < table().list().count())) setKinds(table().list()[index].kinds & ~bit);
}

void BreakpointsPane::setRect(u32 left, u32 top_, u32 width, u32 height) {
  TextPane::setRect(left, top_, width, height);
  // A second call must not leave the old toggles listed as children.
  children.clear();
  static const char* const kLabels[3] = {"R", "W", "X"};
  const u32 C = charWidth(), H = charHeight();
  for (u32 c = 0; c < 3; ++c) {
    SizedArray<ConditionToggle>& column = toggles[c];
    column.resize(rows(), __FILE__, __LINE__);
    for (u32 r = 0; r < column.count(); ++r) {
      ConditionToggle& t = column.data()[r];
      t.setLabel(IString::fromText(kLabels[c]));
      t.setBit(1u << c);
      t.setPosition(left + 3 * C * c, top_ + H * (r + 1));
      addChild(&t);
      t.disable();
    }
  }
}

void BreakpointsPane::refresh() {
  const BreakpointList& list = table().list();
  const u32 n = list.count(), shown = rows();
  // The last page stays full; a list shorter than the pane shows from its
  // start, so no record is left hidden above the first row.
  if (top + shown > n) top = n >= shown ? n - shown : 0;
  if (lineCount() == 0) return markDirty();
  FixedIString& header = lines[0];
  header.clear();
  header.appendChar16(kGreen);
  header.appendFixed(translated("CONDS:   RANGE:   COUNT:   MAX COUNT: ADDRESS:"));
  u32 made = shown;
  for (u32 c = 0; c < 3; ++c) made = toggles[c].count() < made ? toggles[c].count() : made;
  for (u32 r = 0; r < shown; ++r) {
    const u32 i = top + r;
    FixedIString& line = lines[r + 1];
    const bool ticks = r < made;
    line.clear();
    if (i >= n) {
      for (u32 c = 0; c < 3 && ticks; ++c) toggle(c, r).disable();
      continue;
    }
    const BreakpointRecord& b = list[i];
    for (u32 k = 0; k < kRangeColumn; ++k) line.appendChar(' ');
    for (u32 c = 0; c < 3 && ticks; ++c) {
      toggle(c, r).setIndex(i);
      toggle(c, r).enable();
    }
    line.appendHex8(b.length);
    line.appendChar(' ');
    line.appendHex8(b.count);
    line.appendChar(' ');
    line.appendHex8(b.reload);
    line.appendText("   ");
    formatHex8(line, b.address);
  }
  markDirty();
}

bool BreakpointsPane::recordAt(u32 py, u32& index) const {
  const u32 H = charHeight();
  if (py < y || H == 0) return false;
  const u32 line = (py - y) / H;
  // The header is line 0 whatever the scroll position.
  if (line == 0 || line > rows()) return false;
  index = top + line - 1;
  return index < table().list().count();
}

void BreakpointsPane::onClick(u32 px, u32 py) {
  for (u32 i = 0; i < children.count(); ++i)
    if (children.at(i)->onClick(px, py)) return;
  u32 index = 0;
  const u32 C = charWidth();
  if (!recordAt(py, index) || px < x || C == 0) return;
  gEditedBreakpoint = index;
  const u32 col = (px - x) / C;
  if (col >= kRangeColumn && col < kCountColumn)
    promptForInput(translated("Specify the range of this breakpoint."), &onBreakpointRangeEntered);
  else if (col >= kReloadColumn && col < kAddressColumn)
    promptForInput(translated("Specify the countdown for this breakpoint."), &onBreakpointCountEntered);
  else if (col >= kAddressColumn)
    promptForInput(translated("Specify the address for this breakpoint."), &onBreakpointAddressEntered);
}

void BreakpointsPane::onRightClick(u32, u32 py) {
  u32 index = 0;
  if (!recordAt(py, index)) return;
  table().remove(index);
  refresh();
  refreshDisassembly();
}

void BreakpointsPane::lineBack() {
  if (top == 0) return;
  --top;
  refresh();
}

void BreakpointsPane::lineForward() {
  if (top + rows() >= table().list().count()) return;
  ++top;
  refresh();
}

void BreakpointsPane::pageBack() {
  top = top > rows() ? top - rows() : 0;
  refresh();
}

void BreakpointsPane::pageForward() {
  const u32 n = table().list().count(), shown = rows();
  if (top + 2 * shown < n)
    top += shown;
  else if (n >= shown)
    top = n - shown;
  else
    return;
  refresh();
}

void BreakpointsPane::command(u32 address, u32 length, u32 kinds) {
  table().setBits(address, length, 1, kinds, true);
  refresh();
  refreshDisassembly();
}

void BreakpointsPane::draw() {
  const bool dirty = isDirtyOnCurrentPage();
  TextPane::draw();
  if (!dirty || w == 0 || h == 0) return;
  const u32 C = charWidth(), H = charHeight();
  const u16 blue = u16(gColourBlue);
  for (u32 k : {kRangeColumn, kCountColumn, kReloadColumn, kAddressColumn}) {
    const u32 lx = x + k * C - 2;
    if (k * C - 2 < w) drawLine(gView, blue, i32(lx), i32(y), i32(lx), i32(y + h - 1));
  }
  if (H != 0 && H <= h) drawLine(gView, blue, i32(x), i32(y + H - 1), i32(x + w - 1), i32(y + H - 1));
}

void onBreakpointRangeEntered() {
  BreakpointRecord r;
  const u32 v = parseHex(gPromptLine);
  if (v == 0 || !editedRecord(r)) return;
  table().replace(gEditedBreakpoint, r.address, v, r.reload, r.kinds);
  refreshBreakpointsTab();
}

void onBreakpointCountEntered() {
  BreakpointRecord r;
  const u32 v = parseHex(gPromptLine);
  if (v == 0 || !editedRecord(r)) return;
  table().replace(gEditedBreakpoint, r.address, r.length, v, r.kinds);
  refreshBreakpointsTab();
}

void onBreakpointAddressEntered() {
  BreakpointRecord r;
  if (!editedRecord(r)) return;
  table().replace(gEditedBreakpoint, Emulator::parseAddress(gPromptLine), r.length, r.reload, r.kinds);
  refreshBreakpointsTab();
}
