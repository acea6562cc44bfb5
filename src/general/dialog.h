#pragma once
// Small clickable controls that panes hold as children.  They own geometry,
// hit tests and drawing; the value behind them is the subclass's.

#include "general/widget.h"

class DialogItem : public Widget {
 public:
  DialogItem();

  // A disabled item is never dirty, so it is not drawn.
  bool isDirtyOnCurrentPage() const override;

  // True when the click was taken.
  virtual bool onClick(u32 px, u32 py) = 0;
  virtual void draw() = 0;
  virtual u32 width() const = 0;
  virtual u32 height() const = 0;

  // What is on screen stays until the pane is redrawn.
  void disable() { enabled = 0; }
  void enable();
  void setPosition(u32 left, u32 top);

  u32 enabled = 1;
  u32 x = 0, y = 0;
};

// A box the user toggles, with a label; only the box cell takes clicks.
class CheckItem : public DialogItem {
 public:
  bool onClick(u32 px, u32 py) override;
  void draw() override;
  u32 width() const override;
  u32 height() const override;

  virtual bool isChecked() = 0;
  virtual void setOn() = 0;
  virtual void setOff() = 0;

  void setLabel(const IString& text);
  void setIndent(u32 blanks) { indent = blanks; }

  IString label;
  u32 indent = 0;  // blanks between the box and the label
};

// A label over a column of exclusive options; only each option's marker cell
// takes clicks.  A new pick runs beforeChoiceChange(old), setChoice(new), then
// reads the shown index back through getChoice.
class ChoiceItem : public DialogItem {
 public:
  bool onClick(u32 px, u32 py) override;
  void draw() override;
  u32 width() const override;
  u32 height() const override;

  virtual u32 getChoice() = 0;
  virtual void setChoice(u32 index) = 0;
  virtual void beforeChoiceChange(u32 previous) = 0;

  void setLabel(const IString& text);
  void setOption(u32 i, const IString& text);
  using DialogItem::setPosition;
  // Also sizes the option list (its texts are new when the count changes).
  void setPosition(u32 left, u32 top, u32 count);

  IString label;
  SizedArray<IString> options;
  u32 selection = 0;  // the index drawn as chosen
};
