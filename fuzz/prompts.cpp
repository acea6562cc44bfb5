// The prompt lines: any bytes as the line of the breakpoint, go-to,
// memory-edit, disassembly or dump prompt (typed, with the prompt's colour
// code in front, or as the -ab switch builds it, without), with the three
// debugger windows up.  No command may fail a CHECK, whatever the line.

#include <filesystem>
#include <memory>
#include <string>

#include "core/emulator.h"
#include "debugger/app.h"
#include "debugger/commands.h"
#include "debugger/prompt.h"
#include "debugger/windows.h"
#include "general/tabframe.h"
#include "general/text.h"
#include "general/view.h"
#include "harness.h"
#include "platform/display.h"

namespace {

void setUp() {
  gView.useBackend(std::make_unique<platform::MemoryDisplay>(platform::kMasks565));
  gView.setScreenMode(640, 480, 2, false);
  gDebuggerScreenWidth = 640;
  gDebuggerScreenHeight = 480;
  gDebuggerScreenDepth = 2;
  gFontNumber = loadFont(VANDREL_ASSET_DIR "/eng.bmp", 8, 12, 256);
  gWidgetFont = gFontNumber;
  trackedAlloc(gCodeWindow, 1, __FILE__, __LINE__);
  addTabFrame(gCodeWindow);
  trackedAlloc(gDataWindow, 1, __FILE__, __LINE__);
  addTabFrame(gDataWindow);
  trackedAlloc(gAppWindow, 1, __FILE__, __LINE__);
  addTabFrame(gAppWindow);
  installFrontEnd();
  // The dumps' files go nowhere: a long run would fill the disk.
  std::filesystem::create_symlink("/dev/null", "dis.txt");
  std::filesystem::create_symlink("/dev/null", "dump.txt");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  fuzz::enterScratchDirectory();
  static const bool ready = (setUp(), true);
  (void)ready;
  if (size == 0) return 0;
  void (*const commands[])() = {&breakpointCommand,  &gotoCommand,       &gotoDataWindowCommand,
                                &editMemoryCommand, &disassembleToFile, &dumpToFile};
  const uint8_t how = data[0];
  gPromptLine.clear();
  if (!(how & 0x80)) gPromptLine.appendChar16(3);
  for (std::size_t i = 1; i < size && gPromptLine.length() < FixedIString::kCapacity; ++i)
    gPromptLine.appendChar(char(data[i]));
  // Thumb state for the disassembly's half the time.
  u32 pc = (how & 0x40) ? 0x08000001 : 0x08000000;
  gEmulator.cpu().switchState(pc);
  fuzz::takeLog();
  commands[(how & 0x3F) % 6]();
  const std::string log = fuzz::takeLog();
  FUZZ_CHECK(log.find("CHECK failure") == std::string::npos);
  gCodeWindow->warnings.source.clear();
  BreakpointTable& table = gEmulator.breakpoints();
  while (table.list().count() != 0) table.remove(0);
  return 0;
}
