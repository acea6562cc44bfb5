#pragma once
// Pane lines as readable text for the front-end tests: drawing controls
// become tags (<r> red, <g> green, <o> orange, <w> white, <2:colour> second
// colour, <t:colour> text colour), glyphs below 32 become <n>.

#include <cstdio>
#include <string>

#include "general/istring.h"

inline std::string shown(const FixedIString& line) {
  std::string s;
  char tag[16];
  for (u32 i = 0; i < line.length(); ++i) {
    const u16 c = line[i];
    if (c == 2)
      s += "<r>";
    else if (c == 3)
      s += "<g>";
    else if (c == 5)
      s += "<o>";
    else if (c == 8)
      s += "<w>";
    else if ((c == 12 || c == 14) && i + 1 < line.length()) {
      std::snprintf(tag, sizeof tag, "<%c:%04x>", c == 12 ? '2' : 't', unsigned(line[++i]));
      s += tag;
    } else if (c < 32 || c > 0xFF) {
      std::snprintf(tag, sizeof tag, "<%u>", unsigned(c));
      s += tag;
    } else {
      s.push_back(char(c));
    }
  }
  return s;
}
