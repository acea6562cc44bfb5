#pragma once
// The Breakpoints tab of the data window: one user breakpoint a row, with
// read, write and execute ticks, and mouse edits of its range, countdown and
// address through prompts; a right click deletes the row's breakpoint.

#include "general/pane.h"
#include "general/ptr.h"

// One condition tick of one row: shows and changes one kind bit of the
// breakpoint record it is pointed at.
class ConditionToggle : public CheckItem {
 public:
  bool isChecked() override;
  void setOn() override;
  void setOff() override;
  void setBit(u32 b) { bit = b; }
  void setIndex(u32 i) { index = i; }

  u32 index = 0;  // record in the breakpoint table
  u32 bit = 0;    // 1 read, 2 write, 4 execute

 private:
  void setKinds(u32 kinds);
};

class BreakpointsPane : public TextPane {
 public:
  void onClick(u32 px, u32 py) override;
  void onRightClick(u32 px, u32 py) override;
  // Once, when the tab is added: the toggles are made and become children.
  void setRect(u32 left, u32 top, u32 width, u32 height) override;
  void draw() override;
  void scrollUp() override { lineBack(); }
  void scrollDown() override { lineForward(); }
  void pageUp() override { pageBack(); }
  void pageDown() override { pageForward(); }
  void refresh() override;

  void lineBack();
  void lineForward();
  void pageBack();
  void pageForward();
  // A user breakpoint over the range with those kinds and pass count 1.
  void command(u32 address, u32 length, u32 kinds);

  u32 rows() const { return lineCount() > 0 ? lineCount() - 1 : 0; }
  // Column c's toggle of row r; r below that column's count.
  ConditionToggle& toggle(u32 c, u32 r) { return toggles[c].data()[r]; }

  u32 top = 0;                                         // the record shown in the first row
  FixedArray<SizedArray<ConditionToggle>, 3> toggles;  // read, write, execute columns

 private:
  // The record under a click, or false for the header, the strip below the
  // last row and rows without a record.
  bool recordAt(u32 py, u32& index) const;
};

// The row last clicked for an edit; the prompt commands below read it.
extern u32 gEditedBreakpoint;

// What the edit prompts run on Enter, each reading gPromptLine.
void onBreakpointRangeEntered();
void onBreakpointCountEntered();
void onBreakpointAddressEntered();
