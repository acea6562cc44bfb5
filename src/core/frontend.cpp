#include "core/frontend.h"

#include <string>

#include "general/language.h"

namespace {
CoreFrontEnd* gInstalled = nullptr;
}

CoreFrontEnd* coreFrontEnd() { return gInstalled; }
void installCoreFrontEnd(CoreFrontEnd* frontEnd) { gInstalled = frontEnd; }

void postCoreWarning(const char* text) {
  if (!gInstalled) return;
  std::u16string wide;
  // Bytes become characters sign-extended, as everywhere in the program.
  for (const char* p = translate(text); *p; ++p) wide.push_back(char16_t(int16_t(static_cast<signed char>(*p))));
  gInstalled->postWarning(wide);
}
