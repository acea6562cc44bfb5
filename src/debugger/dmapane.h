#pragma once
// The DMA tab of the app window: each channel's source, destination and
// control, the control bits as mnemonics, green while the channel is
// enabled and red while it is not.

#include "general/pane.h"

class DmaPane : public TextPane {
 public:
  void refresh() override;
};

// The mnemonics of a control halfword, its colour code first.
void appendDmaControl(FixedIString& line, u32 control);
