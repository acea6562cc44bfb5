#pragma once
// The Registers tab of the app window: R0-R15, CPSR and SPSR of the current
// mode in the register format, as many a line as the pane is wide; a value
// that changed since the last refresh is red.

#include "general/pane.h"

class RegistersPane : public TextPane {
 public:
  void refresh() override;
  // Sets the program counter and shows it.
  void goTo(u32 value) override;

  u32 remembered[18] = {};  // R0-R15, CPSR, SPSR as last shown
  bool rememberedSet = false;
};

