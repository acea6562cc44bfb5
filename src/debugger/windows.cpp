#include "debugger/windows.h"

#include "core/emulator.h"
#include "core/frontend.h"
#include "debugger/app.h"
#include "general/language.h"
#include "general/text.h"
#include "general/view.h"
#include "platform/variant.h"

namespace {

FixedIString title(const char* english) {
  FixedIString t;
  t.assignText(translate(english));
  return t;
}

u32 fontLineHeight() { return fontHeight(gFontNumber); }

void place(TabFrame& frame, const WindowPlace& p) { frame.setRect(p.x, p.y, p.w, p.h); }

u32 minus(u32 a, u32 b) { return a > b ? a - b : 0; }

}  // namespace

WindowPlace codeWindowPlace(u32 width, u32 height, u32 h) {
  return {0, 0, width, minus(height, variant::kOlder ? h + 162 : 2 * h + 162)};
}
WindowPlace dataWindowPlace(u32 width, u32 height, u32 h) {
  return {0, minus(height, 2 * h + 162), minus(width, 244), h + 162};
}
WindowPlace appWindowPlace(u32 width, u32 height, u32 h) {
  return {minus(width, 244), minus(height, 2 * h + 162), 244, h + 162};
}

CodeWindow::CodeWindow() {
  place(*this, codeWindowPlace(gView.width(), gView.height(), fontLineHeight()));
  loadHelpText(help, title("help_eng.txt"));
  addTab(title("Disassembly"), &disassembly);
#ifdef VANDREL_OLDER_VARIANT
  addTab(title("Source"), &source);
#endif
  addTab(title("Load"), &load);
  addTab(title("Options"), &options);
  addTab(title("Warnings"), &warnings);
  addTab(title("User"), &user);
  addTab(title("Help"), &help);
}

void CodeWindow::selectTab(u32 index) {
  if (index == kDisassembly) {
    disassembly.goTo(gEmulator.cpu().pc());
  } else if (index == kLoad) {
    // The directory is read again, so files that came since show; the
    // list keeps its place.
    const u32 top = load.top;
    FixedIString here;
    here.appendChar('.');
    load.changeDirectory(here);
    load.setTop(top);
  } else if (index < kTabCount && index < tabs.count() && tabs[index].pane) {
    tabs[index].pane->markDirty();
  }
  TabFrame::selectTab(index);
}

void CodeWindow::showPc() { disassembly.goTo(gEmulator.cpu().pc()); }

void CodeWindow::goToAddress(u32 address) {
  switch (currentTab()) {
    case kDisassembly:
      disassembly.goTo(address);
      break;
    case kWarnings:
      warnings.setTop(address);
      break;
    case kHelp:
      help.setTop(address);
      break;
    default:
      break;
  }
}

u32 CodeWindow::cursorAddress() const {
  return currentTab() == kDisassembly ? disassembly.cursor : 0xFFFFFFFF;
}

void CodeWindow::refreshTab(u32 index) {
  if (index < kTabCount && index < tabs.count() && tabs[index].pane) tabs[index].pane->refresh();
}

void CodeWindow::addWarning(const FixedIString& text) { warnings.addLine(text); }

void CodeWindow::printUserMessage(const FixedIString& text) { ::printUserMessage(user, text); }

DataWindow::DataWindow() {
  place(*this, dataWindowPlace(gView.width(), gView.height(), fontLineHeight()));
  addTab(title("Watches"), &watches);
  addTab(title("Memory"), &memory);
  addTab(title("Breakpoints"), &breakpoints);
  // The older program has no sprite tab.
  if (!variant::kOlder) addTab(title("OAM"), &oam);
  selectTab(kMemory);
}

void DataWindow::selectTab(u32 index) {
  if (index < kTabCount && index < tabs.count() && tabs[index].pane) tabs[index].pane->markDirty();
  TabFrame::selectTab(index);
}

void DataWindow::refreshAll() {
  memory.refresh();
  breakpoints.refresh();
  if (!variant::kOlder) oam.refresh();
}

void DataWindow::refreshTab(u32 index) {
  if (index == kWatches)
    watches.refresh();
  else if (index == kMemory)
    memory.refresh();
  else if (index == kBreakpoints)
    breakpoints.refresh();
}

void DataWindow::breakpointsCommand(u32 address, u32 length, u32 kinds) {
  breakpoints.command(address, length, kinds);
}

void DataWindow::forwardToCurrent(u32 address) {
  if (currentTab() == kMemory)
    memory.goTo(address);
  else if (currentTab() == kBreakpoints)
    breakpoints.goTo(address);
}

AppWindow::AppWindow() {
  place(*this, appWindowPlace(gView.width(), gView.height(), fontLineHeight()));
  addTab(title("App"), &screen);
  addTab(title("Registers"), &registers);
  addTab(title("DMA"), &dma);
}

void AppWindow::selectTab(u32 index) {
  refreshTab(index);
  TabFrame::selectTab(index);
}

void AppWindow::refreshTab(u32 index) {
  if (index == kApp)
    screen.refresh();
  else if (index == kRegisters)
    registers.refresh();
  else if (index == kDma)
    dma.refresh();
}

void AppWindow::refreshCurrent() {
  if (currentTab() == kRegisters || currentTab() == kDma) refreshTab(currentTab());
}

void AppWindow::showFrame(PlainBitmap& frame) {
  screen.takeFrame(frame);
  refreshTab(kApp);
}

void postWarning(const FixedIString& text) {
  char bytes[257];
  toCString(bytes, text);
  dbgPrintf("Warning: %s\n", bytes);
  if (!gCodeWindow) return;
  FixedIString line;
  line.appendChar16(6);  // yellow
  for (u32 i = 0; i < text.length() && line.length() < FixedIString::kCapacity; ++i)
    line.appendChar16(text.at(i));
  gCodeWindow->addWarning(line);
  gCodeWindow->selectTab(CodeWindow::kWarnings);
}

void postWarningText(const char* english) {
  FixedIString t;
  t.assignTextClipped(translate(english));
  postWarning(t);
}

namespace {

class FrontEnd : public CoreFrontEnd {
 public:
  void printUserMessage(std::u16string_view text) override {
    FixedIString line;
    for (char16_t c : text)
      if (line.length() < FixedIString::kCapacity) line.appendChar16(u16(c));
    if (gCodeWindow) gCodeWindow->printUserMessage(line);
  }
  void postWarning(std::u16string_view text) override {
    FixedIString line;
    for (char16_t c : text)
      if (line.length() < FixedIString::kCapacity) line.appendChar16(u16(c));
    ::postWarning(line);
  }
  void breakpointsChanged() override {
    if (gCodeWindow) gCodeWindow->refreshTab(gCodeWindow->currentTab());
    if (gDataWindow) gDataWindow->refreshTab(DataWindow::kBreakpoints);
  }
  void showInAppPane() override {
    if (gAppWindow) gAppWindow->showFrame(gScreenBitmap);
  }
  void displayMetrics(u32& width, u32& height, u32& fontHeight) override {
    width = gView.width();
    height = gView.height();
    fontHeight = fontLineHeight();
  }
};

FrontEnd gFrontEnd;

}  // namespace

void installFrontEnd() { installCoreFrontEnd(&gFrontEnd); }
