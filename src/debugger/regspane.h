#pragma once
// The Registers tab of the app window: R0-R15, CPSR and SPSR of the current
// mode in the register format, as many a line as the pane is wide; a value
// that changed since the last refresh is red.  Every register is shown in
// every format: entries move closer together when that lets them all fit,
// a value wider than the pane goes on over the next line, and what still
// does not fit is reached with the scroll keys (Ctrl with Up, Down, PgUp,
// PgDn).

#include <vector>

#include "general/pane.h"

class RegistersPane : public TextPane {
 public:
  void refresh() override;
  // Sets the program counter and shows it.
  void goTo(u32 value) override;
  void scrollUp() override;
  void scrollDown() override;
  void pageUp() override;
  void pageDown() override;

  u32 remembered[18] = {};  // R0-R15, CPSR, SPSR as last shown
  bool rememberedSet = false;
  // Every line of the listing, and the one shown at the top of the pane.
  std::vector<FixedIString> rows;
  u32 top = 0;

 private:
  // The visible lines from rows, starting at top (clamped).
  void show();
};
