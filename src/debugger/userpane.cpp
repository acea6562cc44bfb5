#include "debugger/userpane.h"

#include <cstdio>

#include "debugger/windows.h"

#ifndef VANDREL_OLDER_VARIANT
namespace {
constinit ConfigOption<i32> gLogUserMessages("Log user messages to debug.txt", 0);
}

ConfigOption<i32>& logUserMessagesOption() { return gLogUserMessages; }
#endif

void printUserMessage(UserPane& pane, const FixedIString& text) {
#ifndef VANDREL_OLDER_VARIANT
  if (gLogUserMessages.value() != 0) {
    if (std::FILE* f = std::fopen(kUserLogFile, "a")) {
      char bytes[256];
      text.toCString(bytes, sizeof bytes);
      std::fprintf(f, "%s\n", bytes);
      std::fclose(f);
    } else {
      postWarningText("Unable to open debug.txt for appending.\n");
    }
  }
#endif
  pane.appendLine(text);
}
