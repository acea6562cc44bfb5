#include "debugger/helppane.h"

#include <cstdio>

#include "general/text.h"
#include "general/widgetgfx.h"

void HelpPane::draw() {
  const u32 fw = widgetgfx::fontWidth();
  for (u32 i = 0; i < 32; ++i) setTabStop(i, u16(x + i * 4 * fw));
  TextPane::draw();
}

void loadHelpText(HelpPane& pane, const FixedIString& fileName) {
  pane.source.clear();
  char name[257];
  toCString(name, fileName);
  if (std::FILE* f = std::fopen(name, "r")) {
    char line[1024];
    while (!std::feof(f)) {
      if (!std::fgets(line, sizeof line, f)) line[0] = 0;
      pane.source.append(IString::fromText(line));
      // A read error never sets the end-of-file flag: stop rather than spin.
      if (std::ferror(f)) break;
    }
    std::fclose(f);
  } else {
    dbgPrintf("Unable to open %s.\n", name);
  }
  pane.top = 0;
  pane.refresh();
}
