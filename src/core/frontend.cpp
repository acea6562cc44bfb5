#include "core/frontend.h"

#include <string>

namespace {
CoreFrontEnd* gInstalled = nullptr;
}

CoreFrontEnd* coreFrontEnd() { return gInstalled; }
void installCoreFrontEnd(CoreFrontEnd* frontEnd) { gInstalled = frontEnd; }

void postCoreWarning(const char* text) {
  if (!gInstalled) return;
  std::u16string wide;
  for (const char* p = text; *p; ++p) wide.push_back(char16_t(static_cast<unsigned char>(*p)));
  gInstalled->postWarning(wide);
}
