#include "core/debugsvc.h"

#include <cstdio>
#include <string>

#include "core/frontend.h"

void runDebugService(uint32_t r0, uint32_t r1, const GuestReader& guest, uint32_t& status) {
  std::u16string text;
  switch (r0) {
    case 0:
      status |= kStatusGuestStop;
      return;
    case 1:
      for (uint32_t a = r1; text.size() < kDebugServiceMaxChars; ++a) {
        uint8_t c = guest.peek8(a);
        if (!c) break;
        text.push_back(char16_t(c));  // bytes are characters 0-255
      }
      break;
    case 2:
      for (uint32_t a = r1; text.size() < kDebugServiceMaxChars; a += 2) {
        uint16_t c = guest.peek16(a);
        if (!c) break;
        text.push_back(char16_t(c));
      }
      break;
    case 3: {
      char buf[16];
      std::snprintf(buf, sizeof buf, "%08X", r1);
      text.assign(buf, buf + 8);
      break;
    }
    case 4: {
      char buf[64];
      float value = float(int32_t(r1) / 65536.0);
      std::snprintf(buf, sizeof buf, "%lg", double(value));
      std::string s(buf);
      s.resize(8, ' ');  // exactly eight characters: cut or padded with blanks
      text.assign(s.begin(), s.end());
      break;
    }
    default:
      return;
  }
  if (CoreFrontEnd* fe = coreFrontEnd()) fe->printUserMessage(text);
}
