#pragma once
// The three debugger windows: the code window across the top, the data
// window at the bottom left and the app window at the bottom right.  Panes
// not built yet stand in as empty tabs.

#include "debugger/breakpane.h"
#include "debugger/disasmpane.h"
#include "debugger/dmapane.h"
#include "debugger/helppane.h"
#include "debugger/loadpane.h"
#include "debugger/memorypane.h"
#include "debugger/oampane.h"
#include "debugger/optionspane.h"
#include "debugger/regspane.h"
#include "debugger/screenpane.h"
#include "debugger/userpane.h"
#include "debugger/warnpane.h"
#include "general/pane.h"
#include "general/tabframe.h"
#include "platform/variant.h"

// A tab without content yet.
class EmptyPane : public TextPane {
 public:
  void refresh() override { markDirty(); }
};

// The Watches tab has no content of its own: a placeholder in every line.
class WatchesPane : public TextPane {
 public:
  void refresh() override { refreshPlaceholder(*this); }
};

class CodeWindow : public TabFrame {
 public:
  // The older program has a Source tab after the first, so the later tabs
  // are numbered one higher there.
  static constexpr u32 kShift = variant::kOlder ? 1 : 0;
  enum Tab : u32 {
    kDisassembly,
    kSource = kDisassembly + kShift,  // the older program only
    kLoad,
    kOptions,
    kWarnings,
    kUser,
    kHelp,
    kTabCount
  };
  CodeWindow();
  void selectTab(u32 index) override;
  void showPc();
  void goToAddress(u32 address);
  // The Disassembly pane's cursor; 0xFFFFFFFF while another tab is current.
  u32 cursorAddress() const;
  void refreshTab(u32 index);
  void addWarning(const FixedIString& text);
  void printUserMessage(const FixedIString& text);

  DisassemblyPane disassembly;
#ifdef VANDREL_OLDER_VARIANT
  EmptyPane source;
#endif
  LoadPane load;
  OptionsPane options;
  WarningsPane warnings;
  UserPane user;
  HelpPane help;
};

class DataWindow : public TabFrame {
 public:
  enum Tab : u32 { kWatches, kMemory, kBreakpoints, kOam, kTabCount };
  DataWindow();
  void selectTab(u32 index) override;
  void refreshAll();
  void refreshTab(u32 index);
  // A user breakpoint of that range and kinds, pass count 1.
  void breakpointsCommand(u32 address, u32 length, u32 kinds);
  void forwardToCurrent(u32 address);

  WatchesPane watches;
  MemoryPane memory;
  BreakpointsPane breakpoints;
  OamPane oam;
};

class AppWindow : public TabFrame {
 public:
  enum Tab : u32 { kApp, kRegisters, kDma, kTabCount };
  AppWindow();
  void selectTab(u32 index) override;
  void refreshTab(u32 index);
  void refreshCurrent();
  // A finished frame of the video unit into the App tab, which is refreshed.
  void showFrame(PlainBitmap& frame);

  ScreenPane screen;
  RegistersPane registers;
  DmaPane dma;
};

// The places of the windows on a display of width x height with font height H.
struct WindowPlace {
  u32 x, y, w, h;
};
WindowPlace codeWindowPlace(u32 width, u32 height, u32 fontHeight);
WindowPlace dataWindowPlace(u32 width, u32 height, u32 fontHeight);
WindowPlace appWindowPlace(u32 width, u32 height, u32 fontHeight);

// A warning for the user: a yellow line at the end of the Warnings tab, which
// comes forward; also logged.
void postWarning(const FixedIString& text);
void postWarningText(const char* english);

// Makes the core's warnings, guest messages and breakpoint changes reach
// the windows.
void installFrontEnd();
