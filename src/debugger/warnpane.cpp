#include "debugger/warnpane.h"

void WarningsPane::addLine(const FixedIString& text) {
  IString line;
  line.assignFixed(text);
  source.append(line);
  setTop(0x80000000);  // clamped to the last page
}
